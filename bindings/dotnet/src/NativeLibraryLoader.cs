using System;
using System.Collections.Generic;
using System.IO;
using System.Runtime.InteropServices;

namespace Korvo.Comm
{
    /// <summary>Finds and opens the korvocomm shared library and looks up its exports.</summary>
    internal static class NativeLibraryLoader
    {
        private static bool IsWindows
        {
            get { return Environment.OSVersion.Platform == PlatformID.Win32NT; }
        }

        /// <summary>The files tried, in order.</summary>
        internal static List<string> Candidates()
        {
            var result = new List<string>();
            string chosen = Environment.GetEnvironmentVariable("KORVOCOMM_LIBRARY");
            if (!string.IsNullOrEmpty(chosen))
            {
                result.Add(chosen);
                return result;
            }
            string[] names = IsWindows
                ? new[] { "korvocomm.dll" }
                : new[] { "libkorvocomm.so.1", "libkorvocomm.so" };
            string here = System.IO.Path.GetDirectoryName(typeof(NativeLibraryLoader).Assembly.Location);
            if (!string.IsNullOrEmpty(here))
            {
                foreach (string name in names)
                {
                    string path = System.IO.Path.Combine(here, name);
                    if (File.Exists(path)) result.Add(path);
                }
            }
            result.AddRange(names);
            return result;
        }

        internal static IntPtr Load(out string path)
        {
            var failures = new List<string>();
            foreach (string candidate in Candidates())
            {
                string error;
                IntPtr library = Open(candidate, out error);
                if (library != IntPtr.Zero)
                {
                    path = candidate;
                    return library;
                }
                failures.Add(candidate + ": " + error);
            }
            throw new DllNotFoundException("korvocomm: the shared library cannot be loaded (tried " +
                                           string.Join("; ", failures.ToArray()) +
                                           "); set KORVOCOMM_LIBRARY to its path");
        }

#if NETCOREAPP3_0_OR_GREATER
        private static IntPtr Open(string path, out string error)
        {
            IntPtr library;
            error = NativeLibrary.TryLoad(path, out library) ? null : "not loadable";
            return library;
        }

        internal static IntPtr Export(IntPtr library, string name)
        {
            IntPtr address;
            return NativeLibrary.TryGetExport(library, name, out address) ? address : IntPtr.Zero;
        }
#else
        private static IntPtr Open(string path, out string error)
        {
            error = null;
            if (IsWindows)
            {
                IntPtr module = LoadLibraryW(path);
                if (module == IntPtr.Zero) error = "Windows error " + Marshal.GetLastWin32Error();
                return module;
            }
            IntPtr library = dlopen(path, RtldNow);
            if (library == IntPtr.Zero) error = Marshal.PtrToStringAnsi(dlerror());
            return library;
        }

        internal static IntPtr Export(IntPtr library, string name)
        {
            return IsWindows ? GetProcAddress(library, name) : dlsym(library, name);
        }

        private const int RtldNow = 2;

        [DllImport("kernel32", CharSet = CharSet.Unicode, SetLastError = true)]
        private static extern IntPtr LoadLibraryW(string path);

        [DllImport("kernel32", CharSet = CharSet.Ansi, ExactSpelling = true)]
        private static extern IntPtr GetProcAddress(IntPtr module, string name);

        [DllImport("libdl.so.2")]
        private static extern IntPtr dlopen(string path, int flags);

        [DllImport("libdl.so.2")]
        private static extern IntPtr dlsym(IntPtr library, string name);

        [DllImport("libdl.so.2")]
        private static extern IntPtr dlerror();
#endif
    }
}
