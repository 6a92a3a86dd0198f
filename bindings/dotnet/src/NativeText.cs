using System;
using System.Text;

namespace Korvo.Comm
{
    /// <summary>
    /// Texts between .NET and the library: NUL-terminated Windows-1250 bytes in, and output buffers
    /// that grow to the length the library reports.
    /// </summary>
    internal static class NativeText
    {
        private static readonly Encoding Windows1250 = CreateEncoding();

        private static Encoding CreateEncoding()
        {
#if NETSTANDARD || NETCOREAPP
            // .NET has the Windows code pages only through this provider.
            Encoding.RegisterProvider(CodePagesEncodingProvider.Instance);
#endif
            // A character the code page lacks is an error, not a silent '?'.
            return Encoding.GetEncoding(1250, EncoderFallback.ExceptionFallback, DecoderFallback.ReplacementFallback);
        }

        /// <summary>A text argument as the library takes it: null stays NULL.</summary>
        internal static byte[] Encode(string text)
        {
            if (text == null) return null;
            if (text.IndexOf('\0') >= 0)
                throw new ArgumentException("A text for the printer cannot hold a NUL character: " + text);
            byte[] bytes = new byte[Windows1250.GetByteCount(text) + 1];
            Windows1250.GetBytes(text, 0, text.Length, bytes, 0);
            return bytes;
        }

        internal static string Decode(byte[] bytes, int length)
        {
            return Windows1250.GetString(bytes, 0, length);
        }

        /// <summary>
        /// Calls an export that copies a text out. Returns its result; the text when the result is
        /// not negative. A text cut at the buffer's size is read again into a buffer of its length.
        /// </summary>
        internal static int Read(Func<byte[], int, int> call, int size, out string text)
        {
            while (true)
            {
                byte[] buffer = new byte[size];
                int result = call(buffer, size);
                if (result < 0)
                {
                    text = null;
                    return result;
                }
                if (result < size)
                {
                    text = Decode(buffer, result);
                    return result;
                }
                size = result + 1;
            }
        }
    }
}
