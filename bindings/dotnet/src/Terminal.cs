// One payment terminal reached over TCP or a serial line.
using System;
using System.Collections.Generic;
using System.Globalization;

namespace Zrpa
{
    /// <summary>What one export returned: its code (0 success, -1 failure), the result document and the
    /// error text.</summary>
    public sealed class Outcome
    {
        public int Code { get; private set; }
        public string Document { get; private set; }
        public string ErrorText { get; private set; }
        public bool Succeeded { get { return Code == 0; } }

        internal Outcome(int code, string document, string errorText)
        {
            Code = code;
            Document = document ?? "";
            ErrorText = errorText ?? "";
        }
    }

    /// <summary>Settings of the requests a Terminal makes.</summary>
    public sealed class TerminalOptions
    {
        public int TillCode = 1;
        public string Currency = "EUR";
        /// <summary>"ECR": the receipt text comes back; "EFT": the terminal prints it.</summary>
        public string PrintLocation = "ECR";
        public string LogId = "zrpa";
        public int ConnectTimeoutMs = 3000;
        /// <summary>The longest one command may wait for the terminal (0: the protocol's own waits).</summary>
        public int CommandTimeoutMs = 0;
    }

    /// <summary>Commands on one terminal. Open() builds a device that later commands share and Close() or
    /// Dispose() releases; without Open() each command builds and frees a device of its own. A failed
    /// command throws ZrpaException (OutcomeUnknownException when the terminal may have approved it,
    /// NotPerformedException when it was cancelled before reaching it). One command at a time; only Cancel may
    /// be called from another thread while one runs.</summary>
    public sealed class Terminal : IDisposable
    {
        public const string DriverName = "ZRPA_RIVEVEDEV17_10";
        private readonly TerminalOptions options;
        private readonly string envelope;

        /// <summary>The device's handle while one is open, else null.</summary>
        public string Handle { get; private set; }

        private Terminal(string connection, TerminalOptions options)
        {
            this.options = options ?? new TerminalOptions();
            envelope = "<Driver>" + DriverName + "</Driver><LogId>" + Document.Escape(this.options.LogId) +
                       "</LogId><Connection>" + connection + "<ConnectTimeout>" +
                       this.options.ConnectTimeoutMs.ToString(CultureInfo.InvariantCulture) +
                       "</ConnectTimeout></Connection><Parameters><CommandTimeout>" +
                       this.options.CommandTimeoutMs.ToString(CultureInfo.InvariantCulture) +
                       "</CommandTimeout></Parameters>";
        }

        /// <summary>A terminal at address:port.</summary>
        public static Terminal Tcp(string address, int port, TerminalOptions options = null)
        {
            if (port < 1 || port > 65535)
                throw new ArgumentOutOfRangeException("port", port, "port " + port + " is not 1 to 65535");
            return new Terminal("<Type>TCP</Type><Address>" + Document.Escape(address) + "</Address><Port>" +
                                port.ToString(CultureInfo.InvariantCulture) + "</Port>", options);
        }

        /// <summary>A terminal on a serial port ("COM1"; on Linux the device named by ZRPA_SERIAL_COM1).</summary>
        public static Terminal Serial(string port, int speed = 9600, int dataBits = 8, string parity = "NONE",
                                      int stopBits = 1, TerminalOptions options = null)
        {
            return new Terminal("<Type>SERIAL</Type><SerialPort>" + Document.Escape(port) + "</SerialPort><Speed>" +
                                speed.ToString(CultureInfo.InvariantCulture) + "</Speed><DataBits>" +
                                dataBits.ToString(CultureInfo.InvariantCulture) + "</DataBits><Parity>" +
                                Document.Escape(parity) + "</Parity><StopBits>" +
                                stopBits.ToString(CultureInfo.InvariantCulture) + "</StopBits>", options);
        }

        /// <summary>OPEN: builds the device (it does not connect yet).</summary>
        public void Open()
        {
            if (Handle == null)
                Handle = Document.Text(Run("OPEN", NativeMethods.OPEN, ""), "Handle");
        }

        /// <summary>CLOSE of the device of Open(); nothing when none is open.</summary>
        public void Close()
        {
            if (Handle == null)
                return;
            try
            {
                Run("CLOSE", NativeMethods.CLOSE, "");
            }
            finally
            {
                Handle = null;
            }
        }

        public void Dispose()
        {
            Close();
        }

        public Payment Pay(decimal amount, string reference = "")
        {
            return new Payment(PaymentRequest("PAY", "<Amount>" + AmountText(amount) + "</Amount><Reference>" +
                                                         Document.Escape(reference) + "</Reference>"));
        }

        /// <summary>A refund not tied to an earlier payment.</summary>
        public Payment Refund(decimal amount)
        {
            return new Payment(PaymentRequest("REFUND", "<Amount>" + AmountText(amount) + "</Amount>"));
        }

        /// <summary>The void of an earlier payment, named by its Payment.RefundReference.</summary>
        public Payment Void(string refundReference)
        {
            return new Payment(PaymentRequest("VOID", "<RefundReference><PaymentId>" + Document.Escape(refundReference) +
                                                          "</PaymentId></RefundReference>"));
        }

        public Receipt Reprint()
        {
            return new Receipt(Run("REPRINT", NativeMethods.REPRINT, "<Reprint><PrintLocation>" +
                                   Document.Escape(options.PrintLocation) + "</PrintLocation></Reprint>"));
        }

        public Totals GetTotals()
        {
            return new Totals(Run("GETTOTALS", NativeMethods.GETTOTALS, "<GetTotals>" + Period() + "</GetTotals>"));
        }

        /// <summary>Closes the accounting period; returns its totals.</summary>
        public Totals DayClose()
        {
            return new Totals(Run("DAYCLOSE", NativeMethods.DAYCLOSE, "<DayClose>" + Period() + "</DayClose>"));
        }

        /// <summary>GETSTATUS: the library's answer without touching the terminal (the document's elements).</summary>
        public IDictionary<string, string> GetStatus()
        {
            return Run("GETSTATUS", NativeMethods.GETSTATUS, "");
        }

        /// <summary>VERIFYTRAN: verification of the last transaction, which this driver answers as unsupported
        /// (a ZrpaException that says so).</summary>
        public IDictionary<string, string> VerifyTran()
        {
            return Run("VERIFYTRAN", NativeMethods.VERIFYTRAN, "");
        }

        /// <summary>CANCEL, from any thread: stops the command running on this terminal's device (of Open()), or
        /// every command the library runs when everyCommand is true or no device is open. The cancelled command
        /// throws within a second (NotPerformedException or OutcomeUnknownException). Returns how many commands
        /// were reached.</summary>
        public int Cancel(bool everyCommand = false)
        {
            string handle = Handle;  // read once: Close() may clear it meanwhile on the paying thread
            string request = "<Cancel>" + (everyCommand || handle == null ? "" : "<Handle>" + handle + "</Handle>") +
                             "</Cancel>";
            string output = null, error = null;
            int code = Load(() => NativeMethods.CANCEL(request, out output, out error));
            if (code != 0)
                throw ZrpaException.For("CANCEL", error, output);
            string reached = Document.Text(Document.Parse(output), "Cancelled");
            return reached.Length == 0 ? 0 : int.Parse(reached, CultureInfo.InvariantCulture);
        }

        /// <summary>The driver's version text ("Version 1.27 - ...").</summary>
        public static string Version()
        {
            string text = null, error = null;
            int code = Load(() => NativeMethods.VERSION(DriverName, out text, out error));
            if (code != 0)
                throw ZrpaException.For("VERSION", error, "");
            return text;
        }

        /// <summary>Runs any command (PAY, REPRINT, OPEN, CLOSE, GETSTATUS, DAYCLOSE, GETTOTALS, VERIFYTRAN, CANCEL)
        /// with a whole request document; a failure is an Outcome with Code -1, not an exception.</summary>
        public static Outcome Call(string command, string request)
        {
            NativeMethods.Command function;
            if (!Commands.TryGetValue(command ?? "", out function))
                throw new ArgumentException("command \"" + command + "\" is not one of the library's", "command");
            string output = null, error = null;
            int code = Load(() => function(request, out output, out error));
            return new Outcome(code, output, error);
        }

        private static readonly Dictionary<string, NativeMethods.Command> Commands =
            new Dictionary<string, NativeMethods.Command> {
                { "PAY", NativeMethods.PAY },         { "REPRINT", NativeMethods.REPRINT },
                { "OPEN", NativeMethods.OPEN },       { "CLOSE", NativeMethods.CLOSE },
                { "GETSTATUS", NativeMethods.GETSTATUS }, { "DAYCLOSE", NativeMethods.DAYCLOSE },
                { "GETTOTALS", NativeMethods.GETTOTALS }, { "VERIFYTRAN", NativeMethods.VERIFYTRAN },
                { "CANCEL", NativeMethods.CANCEL },
            };

        // Runs an export; a library that cannot be loaded gets an error that says which file and why.
        private static int Load(Func<int> invoke)
        {
            try
            {
                return invoke();
            }
            catch (DllNotFoundException e)
            {
                throw new DllNotFoundException("the native library " + NativeMethods.Library + " was not found " +
                                               "beside the program or on the library path: " + e.Message, e);
            }
            catch (BadImageFormatException e)
            {
                throw new BadImageFormatException("the native library " + NativeMethods.Library + " does not match " +
                                                  "this " + (IntPtr.Size * 8) + "-bit process: build the program " +
                                                  "for x86 with the 32-bit DLL, or for x64 with the 64-bit one", e);
            }
        }

        private string Period()
        {
            return "<TillCode>" + options.TillCode.ToString(CultureInfo.InvariantCulture) + "</TillCode><PrintLocation>" +
                   Document.Escape(options.PrintLocation) + "</PrintLocation>";
        }

        private IDictionary<string, string> PaymentRequest(string action, string fields)
        {
            return Run("PAY", NativeMethods.PAY, "<Payment><Action>" + action + "</Action><Currency>" +
                                                     Document.Escape(options.Currency) + "</Currency>" + Period() +
                                                     fields + "</Payment>");
        }

        private IDictionary<string, string> Run(string name, NativeMethods.Command function, string section)
        {
            string handle = Handle != null ? "<Handle>" + Handle + "</Handle>" : "";
            string request = "<ReceiptPrinterManager Version=\"1.0\">" + handle + envelope + section +
                             "</ReceiptPrinterManager>";
            string output = null, error = null;
            int code = Load(() => function(request, out output, out error));
            if (code != 0)
                throw ZrpaException.For(name, error, output);
            return Document.Parse(output);
        }

        private static string AmountText(decimal amount)
        {
            return amount.ToString(CultureInfo.InvariantCulture);
        }
    }
}
