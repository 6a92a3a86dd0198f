using System;

namespace Korvo.Comm
{
    /// <summary>What the library offers without a connection: error names and texts, command heads,
    /// the process-wide last error and configuration defaults.</summary>
    public static class KorvoLibrary
    {
        /// <summary>The symbolic name of a result code (EFP_BAD_VAT); empty when it has none.</summary>
        public static string ErrorName(int code)
        {
            string name;
            return NativeText.Read((b, n) => NativeMethods.Library.GetErrorName(code, b, n), 64, out name) < 0
                ? ""
                : name;
        }

        /// <summary>The text of a result code, the one specific to command where there is one; empty
        /// when the library has no text for the code.</summary>
        public static string ErrorText(int code, int language = Language.English, string command = null)
        {
            if (command == null) return Text(0, language, code);
            byte[] name = NativeText.Encode(command);
            string text;
            return NativeText.Read((b, n) => NativeMethods.Library.GetCommandErrorText(language, name, code, b, n), 512,
                                   out text) < 0
                ? ""
                : text;
        }

        internal static string Text(int handle, int language, int code)
        {
            string text;
            return NativeText.Read((b, n) => NativeMethods.Library.GetErrorText(handle, language, code, b, n), 512,
                                   out text) < 0
                ? ""
                : text;
        }

        /// <summary>The names of a command's parameters.</summary>
        public static string[] RequestHead(string command)
        {
            byte[] name = NativeText.Encode(command);
            return Head((b, n) => NativeMethods.Library.GetCommandReqestHead(name, b, n));
        }

        /// <summary>The names of a command's response values.</summary>
        public static string[] ResponseHead(string command)
        {
            byte[] name = NativeText.Encode(command);
            return Head((b, n) => NativeMethods.Library.GetCommandResponseHead(name, b, n));
        }

        private static string[] Head(Func<byte[], int, int> call)
        {
            string head;
            int result = NativeText.Read(call, 256, out head);
            if (result < 0) throw KorvoException.For(result, 0, null);
            return head.Length == 0 ? new string[0] : head.Split('\t');
        }

        /// <summary>The process-wide last result code.</summary>
        public static int LastError
        {
            get { return NativeMethods.Library.GetLastComError(0); }
        }

        /// <summary>A process-wide configuration value, which new connections start with.</summary>
        public static int GetDefaultConfig(string key)
        {
            return GetConfig(0, key);
        }

        public static void SetDefaultConfig(string key, int value)
        {
            SetConfig(0, key, value);
        }

        internal static int GetConfig(int handle, string key)
        {
            byte[] name = NativeText.Encode(key);
            string value;
            int result = NativeText.Read((b, n) => NativeMethods.Library.GetConfigValue(handle, name, b, n), 16,
                                         out value);
            if (result < 0) throw KorvoException.For(result, handle, null);
            return int.Parse(value, System.Globalization.CultureInfo.InvariantCulture);
        }

        internal static void SetConfig(int handle, string key, int value)
        {
            string text = value.ToString(System.Globalization.CultureInfo.InvariantCulture);
            KorvoException.Check(
                NativeMethods.Library.SetConfigValue(handle, NativeText.Encode(key), NativeText.Encode(text)), handle,
                null);
        }
    }
}
