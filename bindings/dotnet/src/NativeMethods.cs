// The library's exports as P/Invoke declarations. The marshaller passes each request as a BSTR it frees
// itself and turns each output BSTR into a string, freeing it with the system's SysFreeString (oleaut32
// on Windows; on Mono for Linux the same layout as the library's own), so no BSTR outlives a call.
using System.Runtime.InteropServices;

namespace Zrpa
{
    internal static class NativeMethods
    {
        // Resolved as ZRPA_RIVEVEDEV17_10.dll on Windows and libZRPA_RIVEVEDEV17_10.so on Linux.
        internal const string Library = "ZRPA_RIVEVEDEV17_10";
        // __stdcall on 32-bit Windows, the platform's C convention elsewhere.
        private const CallingConvention Call = CallingConvention.Winapi;

        internal delegate short Command([MarshalAs(UnmanagedType.BStr)] string xml,
                                        [MarshalAs(UnmanagedType.BStr)] out string output,
                                        [MarshalAs(UnmanagedType.BStr)] out string errorMessage);

        [DllImport(Library, CallingConvention = Call)]
        internal static extern short PAY([MarshalAs(UnmanagedType.BStr)] string xml,
                                         [MarshalAs(UnmanagedType.BStr)] out string output,
                                         [MarshalAs(UnmanagedType.BStr)] out string errorMessage);
        [DllImport(Library, CallingConvention = Call)]
        internal static extern short REPRINT([MarshalAs(UnmanagedType.BStr)] string xml,
                                             [MarshalAs(UnmanagedType.BStr)] out string output,
                                             [MarshalAs(UnmanagedType.BStr)] out string errorMessage);
        [DllImport(Library, CallingConvention = Call)]
        internal static extern short OPEN([MarshalAs(UnmanagedType.BStr)] string xml,
                                          [MarshalAs(UnmanagedType.BStr)] out string output,
                                          [MarshalAs(UnmanagedType.BStr)] out string errorMessage);
        [DllImport(Library, CallingConvention = Call)]
        internal static extern short CLOSE([MarshalAs(UnmanagedType.BStr)] string xml,
                                           [MarshalAs(UnmanagedType.BStr)] out string output,
                                           [MarshalAs(UnmanagedType.BStr)] out string errorMessage);
        [DllImport(Library, CallingConvention = Call)]
        internal static extern short GETSTATUS([MarshalAs(UnmanagedType.BStr)] string xml,
                                               [MarshalAs(UnmanagedType.BStr)] out string output,
                                               [MarshalAs(UnmanagedType.BStr)] out string errorMessage);
        [DllImport(Library, CallingConvention = Call)]
        internal static extern short DAYCLOSE([MarshalAs(UnmanagedType.BStr)] string xml,
                                              [MarshalAs(UnmanagedType.BStr)] out string output,
                                              [MarshalAs(UnmanagedType.BStr)] out string errorMessage);
        [DllImport(Library, CallingConvention = Call)]
        internal static extern short GETTOTALS([MarshalAs(UnmanagedType.BStr)] string xml,
                                               [MarshalAs(UnmanagedType.BStr)] out string output,
                                               [MarshalAs(UnmanagedType.BStr)] out string errorMessage);
        [DllImport(Library, CallingConvention = Call)]
        internal static extern short VERIFYTRAN([MarshalAs(UnmanagedType.BStr)] string xml,
                                                [MarshalAs(UnmanagedType.BStr)] out string output,
                                                [MarshalAs(UnmanagedType.BStr)] out string errorMessage);
        // From any thread: ends the waits of the commands on the request's Handle (every command when it
        // names none); each returns within a second, "Not performed: ..." or "Outcome unknown: ...".
        [DllImport(Library, CallingConvention = Call)]
        internal static extern short CANCEL([MarshalAs(UnmanagedType.BStr)] string xml,
                                            [MarshalAs(UnmanagedType.BStr)] out string output,
                                            [MarshalAs(UnmanagedType.BStr)] out string errorMessage);
        [DllImport(Library, CallingConvention = Call)]
        internal static extern int VERSION([MarshalAs(UnmanagedType.BStr)] string driverName,
                                           [MarshalAs(UnmanagedType.BStr)] out string version,
                                           [MarshalAs(UnmanagedType.BStr)] out string errorMessage);
    }
}
