using System;
using System.Collections.Generic;
using System.Globalization;

namespace Korvo.Comm
{
    /// <summary>
    /// A connection to one fiscal printer; open it with <see cref="Tcp"/>, <see cref="Usb"/> or
    /// <see cref="Rs232"/>. A refused command throws <see cref="PrinterException"/>, a failure of the
    /// library <see cref="LibraryException"/>. Dispose disconnects.
    /// </summary>
    public sealed class Printer : IDisposable
    {
        private const int InvalidHandle = -202; // APP_INVALID_HANDLE

        private int handle;

        private Printer(int handle)
        {
            this.handle = handle;
        }

        private static NativeMethods Native
        {
            get { return NativeMethods.Library; }
        }

        private static Printer Connected(int handle)
        {
            if (handle <= 0) throw KorvoException.For(KorvoLibrary.LastError, 0, null);
            return new Printer(handle);
        }

        /// <summary>Connects over TCP: "host", "host:port", "[v6]:port"; port 49999 by default.</summary>
        public static Printer Tcp(string hostAddress)
        {
            return Connected(Native.ConnectTCP(NativeText.Encode(hostAddress)));
        }

        /// <summary>Connects to a printer on a USB virtual COM port ("COM3").</summary>
        public static Printer Usb(string portName)
        {
            return Connected(Native.ConnectUSB(NativeText.Encode(portName)));
        }

        /// <summary>Connects over RS-232: speed 9600 or more, device address 2 to 255.</summary>
        public static Printer Rs232(string portName, int speed, int deviceAddress)
        {
            return Connected(Native.ConnectRS232(NativeText.Encode(portName), speed, deviceAddress));
        }

        /// <summary>The library's connection handle; 0 once disconnected.</summary>
        public int Handle
        {
            get { return handle; }
        }

        /// <summary>
        /// Ends the connection; throws when the printer or the line failed on the way, after which
        /// the connection is gone all the same.
        /// </summary>
        public void Disconnect()
        {
            if (handle == 0) return;
            int closing = handle;
            handle = 0;
            // Disconnect hands back the negated outcome (-p for a printer's code p),
            // but an unknown handle as it is.
            int result = Native.Disconnect(closing);
            KorvoException.Check(result == InvalidHandle ? result : -result, 0, null);
        }

        /// <summary>Disconnects without throwing.</summary>
        public void Dispose()
        {
            if (handle == 0) return;
            int closing = handle;
            handle = 0;
            Native.Disconnect(closing);
        }

        /// <summary>
        /// Ends the command this connection waits for with APP_COMMUNICATION_ABORTED, and every
        /// later one: disconnect afterwards. May be called from another thread.
        /// </summary>
        public void Abort()
        {
            Check(Native.Abort(handle));
        }

        /// <summary>The connection's last status (0 after any well-formed response).</summary>
        public int LastError
        {
            get { return Native.GetLastComError(handle); }
        }

        public int GetConfig(string key)
        {
            return KorvoLibrary.GetConfig(handle, key);
        }

        public void SetConfig(string key, int value)
        {
            KorvoLibrary.SetConfig(handle, key, value);
        }

        private void Check(int code, string command = null)
        {
            KorvoException.Check(code, handle, command);
        }

        // ---- Commands -------------------------------------------------------------------

        /// <summary>
        /// Sends a command by its long or short name with its parameters in the order of
        /// <see cref="KorvoLibrary.RequestHead"/>: strings, integers, decimals (null is empty).
        /// </summary>
        public Response Send(string command, params object[] parameters)
        {
            byte[] data = null;
            if (parameters != null && parameters.Length > 0)
            {
                var fields = new string[parameters.Length];
                for (int i = 0; i < parameters.Length; i++) fields[i] = Field(parameters[i]);
                data = NativeText.Encode(string.Join("\t", fields));
            }
            Check(Native.SendCommand(handle, NativeText.Encode(command), data), command);
            return LastResponse(command);
        }

        private static string Field(object value)
        {
            if (value == null) return "";
            if (value is bool) return (bool)value ? "1" : "0";
            if (value is float || value is double)
                throw new ArgumentException("Amounts are decimal or string, not floating point: " + value);
            var formattable = value as IFormattable;
            string text = formattable != null ? formattable.ToString(null, CultureInfo.InvariantCulture)
                                              : value.ToString();
            if (text.IndexOf('\t') >= 0 || text.IndexOf('\n') >= 0)
                throw new ArgumentException("A parameter cannot hold a TAB or line feed: " + text);
            return text;
        }

        /// <summary>The values of the last response, by the response head of command (by default
        /// the last command's).</summary>
        public Response LastResponse(string command = null)
        {
            if (command == null) command = LastCommandName;
            string text;
            int result = NativeText.Read((b, n) => Native.GetLastCommandResponse(handle, b, n), 2500, out text);
            if (result < 0) Check(result);
            string[] names = KorvoLibrary.ResponseHead(command);
            string[] fields = text.Length == 0 && names.Length == 0 ? new string[0] : text.Split('\t');
            return new Response(command, names, fields);
        }

        public string LastCommandName
        {
            get
            {
                string name;
                int result = NativeText.Read((b, n) => Native.GetLastCommandName(handle, b, n), 256, out name);
                if (result < 0) Check(result);
                return name;
            }
        }

        // ---- Documents ------------------------------------------------------------------

        private void Logo(int lineType, string[] lines)
        {
            if (lines.Length > 9) throw new ArgumentException("At most 9 lines, not " + lines.Length);
            var t = new byte[9][];
            for (int i = 0; i < lines.Length; i++) t[i] = NativeText.Encode(lines[i]);
            Check(Native.SendTextLogo(handle, lineType, t[0], t[1], t[2], t[3], t[4], t[5], t[6], t[7], t[8]));
        }

        /// <summary>Sets the receipt's header lines (up to nine; the rest become empty).</summary>
        public void SetHeaderLines(params string[] lines)
        {
            Logo(1, lines);
        }

        public void SetTrailerLines(params string[] lines)
        {
            Logo(2, lines);
        }

        /// <summary>Opens a fiscal receipt: type 1 sale, 2 refund, 3 invoice payment, 4 cash deposit,
        /// 5 cash withdrawal.</summary>
        public void BeginReceipt(int receiptType = 1, int settings = 0, string transactionId = null)
        {
            Check(Native.BeginReceipt(handle, receiptType, settings, NativeText.Encode(transactionId)));
        }

        public void EndReceipt(bool separation = false)
        {
            Check(Native.EndFiscalReceipt(handle, (byte)(separation ? 1 : 0)));
        }

        public void BeginNonFiscal()
        {
            Check(Native.BeginNonFiscal(handle));
        }

        public void PrintNormal(string text)
        {
            Check(Native.PrintNormal(handle, NativeText.Encode(text)));
        }

        public void EndNonFiscal(bool separation = false)
        {
            Check(Native.EndNonFiscal(handle, (byte)(separation ? 1 : 0)));
        }

        public void BeginTraining()
        {
            Check(Native.BeginTraining(handle));
        }

        public void EndTraining()
        {
            Check(Native.EndTraining(handle));
        }

        // ---- Receipt body ---------------------------------------------------------------

        /// <summary>An amount as the library's count of thousandths.</summary>
        private static int Thousandths(decimal value, string name)
        {
            decimal scaled = value * 1000m;
            if (scaled != decimal.Truncate(scaled))
                throw new ArgumentException(name + " " + value + " has more than three decimals", name);
            if (scaled > int.MaxValue || scaled < -int.MaxValue)
                throw new ArgumentOutOfRangeException(name, value, "The amount does not fit the library's range");
            return (int)scaled;
        }

        /// <summary>Sells, refunds or corrects an item; VAT id 1 to 7; a negative special regulation
        /// is left out.</summary>
        public void SaleItem(string description, decimal price, decimal quantity, int vatId,
                             ItemType itemType = ItemType.Sale, int specialRegulation = -1,
                             decimal? unitPrice = null, string unitName = null, string refReceiptId = null,
                             string preLine = null, string postLine = null)
        {
            Check(Native.SaleItemNum(handle, (int)itemType, NativeText.Encode(description),
                                     Thousandths(price, "price"), Thousandths(quantity, "quantity"), vatId,
                                     specialRegulation,
                                     unitPrice.HasValue ? Thousandths(unitPrice.Value, "unitPrice") : 0,
                                     NativeText.Encode(unitName), NativeText.Encode(refReceiptId),
                                     NativeText.Encode(preLine), NativeText.Encode(postLine)));
        }

        /// <summary>Adjusts the last item: type 1 or 2.</summary>
        public void ItemAdjustment(int adjustmentType, string description, decimal amount, int vatId,
                                   int specialRegulation = -1, string preLine = null, string postLine = null)
        {
            Check(Native.ItemAdjustNum(handle, adjustmentType, NativeText.Encode(description),
                                       Thousandths(amount, "amount"), vatId, specialRegulation,
                                       NativeText.Encode(preLine), NativeText.Encode(postLine)));
        }

        /// <summary>Adjusts the whole receipt by a positive amount per VAT id (1 to 7).</summary>
        public void PackageAdjustment(int adjustmentType, string description, IDictionary<int, decimal> amounts,
                                      string preLine = null, string postLine = null)
        {
            var a = new int[7];
            foreach (KeyValuePair<int, decimal> pair in amounts)
            {
                if (pair.Key < 1 || pair.Key > 7)
                    throw new ArgumentOutOfRangeException("amounts", pair.Key, "VAT ids are 1 to 7");
                a[pair.Key - 1] = Thousandths(pair.Value, "amounts");
                if (a[pair.Key - 1] <= 0)
                    throw new ArgumentOutOfRangeException("amounts", pair.Value, "The amounts are positive");
            }
            Check(Native.PackAdjustNum(handle, adjustmentType, NativeText.Encode(description), a[0], a[1], a[2], a[3],
                                       a[4], a[5], a[6], NativeText.Encode(preLine), NativeText.Encode(postLine)));
        }

        /// <summary>Sells a single-purpose voucher; a special regulation of -1 is left out.</summary>
        public void Voucher(string voucherId, decimal amount, int vatId, int specialRegulation = -1,
                            string preLine = null, string postLine = null)
        {
            Check(Native.SinglePurposeVoucherNum(handle, NativeText.Encode(voucherId), Thousandths(amount, "amount"),
                                                 vatId, specialRegulation, NativeText.Encode(preLine),
                                                 NativeText.Encode(postLine)));
        }

        /// <summary>Prints the subtotal; an amount given is checked against the printer's (a
        /// different one voids the receipt).</summary>
        public void Subtotal(decimal? amount = null, string postLine = null)
        {
            if (amount.HasValue)
                Check(Native.PrintSubtotalNum(handle, Thousandths(amount.Value, "amount"), NativeText.Encode(postLine)));
            else
                Check(Native.PrintSubtotalTxt(handle, null, NativeText.Encode(postLine)));
        }

        /// <summary>Pays the receipt's total; a negative payment is change.</summary>
        public void Payment(decimal total, decimal payment, int paymentId = 1, string preLine = null,
                            string postLine = null)
        {
            Check(Native.PaymentIdNum(handle, Thousandths(total, "total"), Thousandths(payment, "payment"), paymentId,
                                      NativeText.Encode(preLine), NativeText.Encode(postLine)));
        }

        /// <summary>Pays with a payment identified by its text.</summary>
        public void Payment(decimal total, decimal payment, string paymentId, string preLine = null,
                            string postLine = null)
        {
            Check(Native.PaymentNum(handle, Thousandths(total, "total"), Thousandths(payment, "payment"),
                                    NativeText.Encode(paymentId), NativeText.Encode(preLine),
                                    NativeText.Encode(postLine)));
        }

        /// <summary>Gives change (0 or less) in the given payment type.</summary>
        public void PaymentChange(decimal total, decimal change, int paymentId = 1, string preLine = null,
                                  string postLine = null)
        {
            Check(Native.PaymentChangeIdNum(handle, Thousandths(total, "total"), Thousandths(change, "change"),
                                            paymentId, NativeText.Encode(preLine), NativeText.Encode(postLine)));
        }

        public void PaymentChange(decimal total, decimal change, string paymentId, string preLine = null,
                                  string postLine = null)
        {
            Check(Native.PaymentChangeNum(handle, Thousandths(total, "total"), Thousandths(change, "change"),
                                          NativeText.Encode(paymentId), NativeText.Encode(preLine),
                                          NativeText.Encode(postLine)));
        }

        /// <summary>Prints a message line of the given type on the receipt.</summary>
        public void Message(int messageType, string text)
        {
            Check(Native.PrintRecMessage(handle, messageType, NativeText.Encode(text)));
        }
    }
}
