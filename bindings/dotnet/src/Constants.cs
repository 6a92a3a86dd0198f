namespace Korvo.Comm
{
    /// <summary>Languages of the error texts: English, and Slovak for every other value.</summary>
    public static class Language
    {
        public const int English = 2057;
        public const int Slovak = 1051;
    }

    /// <summary>Keys of the configuration values (Printer.GetConfig, KorvoLibrary.GetDefaultConfig).</summary>
    public static class ConfigKey
    {
        public const string NextCommandTime = "next_cmd_time";
        public const string LinkTransferTime = "link_transfer_time";
        public const string ExtendResponseTime = "extend_response_time";
        public const string DnsConnectMode = "dns_connect_mode";
    }

    /// <summary>What Printer.SaleItem registers.</summary>
    public enum ItemType
    {
        Sale = 1,
        Refund = 3,
        Correction = 5,
        RefundCorrection = 7,
    }
}
