using System;

namespace Korvo.Comm
{
    /// <summary>
    /// A nonzero result code of korvocomm, with its name (EFP_BAD_VAT; empty when the library knows
    /// none) and its English and Slovak texts, specific to the failed command where the library has
    /// such texts.
    /// </summary>
    public abstract class KorvoException : Exception
    {
        public int Code { get; private set; }
        public string Name { get; private set; }
        public string EnglishText { get; private set; }
        public string SlovakText { get; private set; }
        /// <summary>The command sent by name, or null.</summary>
        public string Command { get; private set; }

        protected KorvoException(int code, string name, string englishText, string slovakText, string command)
            : base((command != null ? command + ": " : "") + (name.Length > 0 ? name : "code") + " (" + code + "): " +
                   englishText)
        {
            Code = code;
            Name = name;
            EnglishText = englishText;
            SlovakText = slovakText;
            Command = command;
        }

        /// <summary>
        /// The exception of a nonzero code; handle names the connection whose last command the code
        /// belongs to (0 for none), for that command's own texts.
        /// </summary>
        internal static KorvoException For(int code, int handle, string command)
        {
            string english = KorvoLibrary.Text(handle, Language.English, code);
            string slovak = KorvoLibrary.Text(handle, Language.Slovak, code);
            string name = KorvoLibrary.ErrorName(code);
            if (code > 0) return new PrinterException(code, name, english, slovak, command);
            return new LibraryException(code, name, english, slovak, command);
        }

        internal static void Check(int code, int handle, string command)
        {
            if (code != 0) throw For(code, handle, command);
        }
    }

    /// <summary>The printer refused a command: a positive result code.</summary>
    public sealed class PrinterException : KorvoException
    {
        internal PrinterException(int code, string name, string englishText, string slovakText, string command)
            : base(code, name, englishText, slovakText, command)
        {
        }
    }

    /// <summary>
    /// The library failed on the computer's side (a negative result code): arguments, connection,
    /// time-outs, abort.
    /// </summary>
    public sealed class LibraryException : KorvoException
    {
        internal LibraryException(int code, string name, string englishText, string slovakText, string command)
            : base(code, name, englishText, slovakText, command)
        {
        }
    }
}
