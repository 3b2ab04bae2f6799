// A host in C#: opens a device, pays 12.34 EUR, voids that payment by its refund reference and closes
// the device. The same source serves .NET on Windows (with the 32-bit DLL: stdcall) and Mono on Linux.
//
//   mcs PayAndVoid.cs && mono PayAndVoid.exe [ADDRESS:PORT [LOG-FOLDER]]      default 127.0.0.1:5017
//
// The library is found as ZRPA_RIVEVEDEV17_10.dll on Windows and libZRPA_RIVEVEDEV17_10.so on Linux
// (beside the program or on LD_LIBRARY_PATH). Its logs go under ZRPA_LOG_DIR when set, else under
// LOG-FOLDER, else under the user's own folder (%LOCALAPPDATA%\zrpa, $XDG_STATE_HOME/zrpa or
// ~/.local/state/zrpa), never beside mono or dotnet; the program prints which.
using System;
using System.IO;
using System.Runtime.CompilerServices;
using System.Runtime.InteropServices;
using System.Text.RegularExpressions;

static class Zrpa
{
    const string Library = "ZRPA_RIVEVEDEV17_10";
    // Winapi: __stdcall on 32-bit Windows, the platform's C convention elsewhere. The marshaller passes
    // the request as a BSTR it frees itself, and turns each output BSTR into a string and frees it with
    // the system's SysFreeString, as the library expects (null stays null).
    const CallingConvention Call = CallingConvention.Winapi;

    [DllImport(Library, CallingConvention = Call)]
    public static extern short PAY([MarshalAs(UnmanagedType.BStr)] string xml,
                                   [MarshalAs(UnmanagedType.BStr)] out string output,
                                   [MarshalAs(UnmanagedType.BStr)] out string errorMessage);
    [DllImport(Library, CallingConvention = Call)]
    public static extern short REPRINT([MarshalAs(UnmanagedType.BStr)] string xml,
                                       [MarshalAs(UnmanagedType.BStr)] out string output,
                                       [MarshalAs(UnmanagedType.BStr)] out string errorMessage);
    [DllImport(Library, CallingConvention = Call)]
    public static extern short OPEN([MarshalAs(UnmanagedType.BStr)] string xml,
                                    [MarshalAs(UnmanagedType.BStr)] out string output,
                                    [MarshalAs(UnmanagedType.BStr)] out string errorMessage);
    [DllImport(Library, CallingConvention = Call)]
    public static extern short CLOSE([MarshalAs(UnmanagedType.BStr)] string xml,
                                     [MarshalAs(UnmanagedType.BStr)] out string output,
                                     [MarshalAs(UnmanagedType.BStr)] out string errorMessage);
    [DllImport(Library, CallingConvention = Call)]
    public static extern short GETSTATUS([MarshalAs(UnmanagedType.BStr)] string xml,
                                         [MarshalAs(UnmanagedType.BStr)] out string output,
                                         [MarshalAs(UnmanagedType.BStr)] out string errorMessage);
    [DllImport(Library, CallingConvention = Call)]
    public static extern short DAYCLOSE([MarshalAs(UnmanagedType.BStr)] string xml,
                                        [MarshalAs(UnmanagedType.BStr)] out string output,
                                        [MarshalAs(UnmanagedType.BStr)] out string errorMessage);
    [DllImport(Library, CallingConvention = Call)]
    public static extern short GETTOTALS([MarshalAs(UnmanagedType.BStr)] string xml,
                                         [MarshalAs(UnmanagedType.BStr)] out string output,
                                         [MarshalAs(UnmanagedType.BStr)] out string errorMessage);
    [DllImport(Library, CallingConvention = Call)]
    public static extern short VERIFYTRAN([MarshalAs(UnmanagedType.BStr)] string xml,
                                          [MarshalAs(UnmanagedType.BStr)] out string output,
                                          [MarshalAs(UnmanagedType.BStr)] out string errorMessage);
    // From any thread: ends the waits of the commands on the request's Handle (of every command when it
    // names none); each returns within a second, "Not performed: ..." or "Outcome unknown: ...".
    [DllImport(Library, CallingConvention = Call)]
    public static extern short CANCEL([MarshalAs(UnmanagedType.BStr)] string xml,
                                      [MarshalAs(UnmanagedType.BStr)] out string output,
                                      [MarshalAs(UnmanagedType.BStr)] out string errorMessage);

    // The LogFiles folder the library logs to, once UseLogFolder has chosen it.
    public static string LogFolder { get; private set; }

    // Chooses the log folder before the library is loaded (it reads ZRPA_LOG_DIR once, at its first call):
    // ZRPA_LOG_DIR when set, else named, else the user's own folder. Returns the LogFiles folder inside it.
    public static string UseLogFolder(string named)
    {
        string dir = Environment.GetEnvironmentVariable("ZRPA_LOG_DIR");
        if (string.IsNullOrEmpty(dir))
        {
            dir = string.IsNullOrEmpty(named) ? DefaultLogDir() : Path.GetFullPath(named);
            Environment.SetEnvironmentVariable("ZRPA_LOG_DIR", dir);
            SetNativeEnvironment("ZRPA_LOG_DIR", dir);
        }
        Directory.CreateDirectory(dir);
        LogFolder = Path.Combine(dir, "LogFiles");
        return LogFolder;
    }

    static bool OnWindows { get { return Environment.OSVersion.Platform == PlatformID.Win32NT; } }

    static string DefaultLogDir()
    {
        if (OnWindows)
            return Path.Combine(Environment.GetFolderPath(Environment.SpecialFolder.LocalApplicationData), "zrpa");
        string state = Environment.GetEnvironmentVariable("XDG_STATE_HOME");
        if (string.IsNullOrEmpty(state) || !Path.IsPathRooted(state))
            state = Path.Combine(Environment.GetFolderPath(Environment.SpecialFolder.UserProfile), ".local", "state");
        return Path.Combine(state, "zrpa");
    }

    [DllImport("libc", EntryPoint = "setenv")]
    static extern int setenv(string name, string value, int overwrite);

    // On Windows the variable set above is the process's own; elsewhere a runtime may keep it to itself
    // (.NET does), so the C library's copy, which the library reads, is set too.
    static void SetNativeEnvironment(string name, string value)
    {
        if (OnWindows)
            return;
        try { setenv(name, value, 1); }
        catch (DllNotFoundException) { }
        catch (EntryPointNotFoundException) { }
    }

    [DllImport(Library, CallingConvention = Call)]
    public static extern int VERSION([MarshalAs(UnmanagedType.BStr)] string driverName,
                                     [MarshalAs(UnmanagedType.BStr)] out string version,
                                     [MarshalAs(UnmanagedType.BStr)] out string errorMessage);
}

static class PayAndVoid
{
    delegate short Command(string xml, out string output, out string errorMessage);

    static bool failed;

    // The text of element name in a result document (a flat list of elements without a root).
    static string Element(string document, string name)
    {
        Match m = Regex.Match(document ?? "", "<" + name + ">(.*?)</" + name + ">", RegexOptions.Singleline);
        return m.Success ? m.Groups[1].Value : "";
    }

    static string Run(string title, Command command, string request)
    {
        string output, error;
        short result = command(request, out output, out error);
        Console.WriteLine("=== {0}: result {1}{2}\n{3}\n", title, result, result != 0 ? ", error: " + error : "", output);
        failed |= result != 0;
        return output;
    }

    static int Main(string[] args)
    {
        // Before any method that calls the library is compiled: Mono loads a library when it compiles a
        // method that calls it, and the library reads ZRPA_LOG_DIR as it loads.
        Console.WriteLine("Logs: {0}\n", Zrpa.UseLogFolder(args.Length > 1 ? args[1] : null));
        return PayVoidAndClose(args);
    }

    [MethodImpl(MethodImplOptions.NoInlining)]
    static int PayVoidAndClose(string[] args)
    {
        string[] terminal = (args.Length > 0 ? args[0] : "127.0.0.1:5017").Split(':');
        string envelope = "<Driver>ZRPA_RIVEVEDEV17_10</Driver><LogId>example-cs</LogId><Connection><Type>TCP</Type>" +
                          "<Address>" + terminal[0] + "</Address><Port>" + terminal[1] + "</Port>" +
                          "<ConnectTimeout>3000</ConnectTimeout></Connection>";

        string version, versionError;
        Console.WriteLine("{0}\n", Zrpa.VERSION("ZRPA_RIVEVEDEV17_10", out version, out versionError) == 0 ? version : versionError);

        string handle = Element(Run("OPEN", Zrpa.OPEN, "<Request>" + envelope + "</Request>"), "Handle");
        envelope = "<Handle>" + handle + "</Handle>" + envelope;
        string payment = Run("PAY 12.34 EUR", Zrpa.PAY,
            "<Request>" + envelope + "<Payment><Action>PAY</Action><Amount>12.34</Amount><Currency>EUR</Currency>" +
            "<TillCode>1</TillCode><PrintLocation>ECR</PrintLocation></Payment></Request>");
        Run("VOID by refund reference", Zrpa.PAY,
            "<Request>" + envelope + "<Payment><Action>VOID</Action><Currency>EUR</Currency><TillCode>1</TillCode>" +
            "<PrintLocation>ECR</PrintLocation><RefundReference><PaymentId>" + Element(payment, "RefundReference") +
            "</PaymentId></RefundReference></Payment></Request>");
        // Nothing runs on the handle now: CANCEL succeeds and reports Cancelled 0. A till calls it from
        // another thread (a Cancel button) while a PAY waits.
        Run("CANCEL (nothing running)", Zrpa.CANCEL, "<Request>" + envelope + "</Request>");
        Run("CLOSE", Zrpa.CLOSE, "<Request>" + envelope + "</Request>");

        Console.WriteLine(failed ? "FAILED" : "all commands succeeded");
        return failed ? 1 : 0;
    }
}
