// Tests of the .NET wrapper against the terminal emulator (p17-emulator, named by ZRPA_EMULATOR), each
// with an emulator of its own on an ephemeral 127.0.0.1 port. Exit code 0 when every test passed.
//
//   mcs -r:ZRPA_RIVEVEDEV17_10.Net.dll ZrpaTests.cs && ZRPA_EMULATOR=... mono ZrpaTests.exe
using System;
using System.Collections.Generic;
using System.Diagnostics;
using System.Globalization;
using System.Text.RegularExpressions;
using System.Threading;
using Zrpa;

static class ZrpaTests
{
    sealed class Emulator : IDisposable
    {
        readonly Process process;
        public readonly int Port;

        public Emulator(string options = "")
        {
            var start = new ProcessStartInfo(Environment.GetEnvironmentVariable("ZRPA_EMULATOR"), "--tcp 0 " + options) {
                UseShellExecute = false, RedirectStandardOutput = true
            };
            process = Process.Start(start);
            string first = process.StandardOutput.ReadLine() ?? "";  // "... listening on 127.0.0.1:PORT"
            Match m = Regex.Match(first, @"listening on 127\.0\.0\.1:(\d+)");
            if (!m.Success)
            {
                Dispose();
                throw new Exception("the emulator did not start: " + first);
            }
            Port = int.Parse(m.Groups[1].Value, CultureInfo.InvariantCulture);
        }

        public Terminal Terminal(TerminalOptions options = null)
        {
            return Zrpa.Terminal.Tcp("127.0.0.1", Port, options);
        }

        public void Dispose()
        {
            if (!process.HasExited)
                process.Kill();
            process.WaitForExit();
            process.Dispose();
        }
    }

    static int failures;

    static void Check(bool passed, string what)
    {
        if (!passed)
        {
            Console.WriteLine("FAILED: " + what);
            failures++;
        }
    }

    static T Throws<T>(Action action, string what) where T : Exception
    {
        try
        {
            action();
        }
        catch (T e)
        {
            return e;
        }
        catch (Exception e)
        {
            Check(false, what + ": threw " + e.GetType().Name + ": " + e.Message);
            return null;
        }
        Check(false, what + ": did not throw");
        return null;
    }

    // A comma-decimal culture must not change the amounts sent or read.
    static void ADayAtTheTillOnAnOpenDevice()
    {
        Thread.CurrentThread.CurrentCulture = new CultureInfo("de-DE");
        using (var emulator = new Emulator("--void-check"))
        using (Terminal till = emulator.Terminal())
        {
            till.Open();
            Check(!string.IsNullOrEmpty(till.Handle), "OPEN gives a handle");
            Payment payment = till.Pay(12.34m, "R-0001");
            Check(payment.Amount == 12.34m && payment.Currency == "EUR", "PAY amount: " + payment.Amount);
            Check(payment.DateTime.HasValue, "PAY date-time");
            Check(payment.RefundReference.Length == 34, "PAY refund reference " + payment.RefundReference);
            Check(payment.ReceiptText.Contains("12,34") && payment.ReceiptText.Contains("\r\n"), "PAY receipt");
            Check(till.Void(payment.RefundReference).ReceiptText.Contains("ANNULL"), "VOID receipt");
            Check(till.Refund(5.00m).Amount == 5m, "REFUND amount");
            Check(till.Reprint().ReceiptText.EndsWith("\r\n"), "REPRINT");
            Check(till.GetTotals().TotalAmount == -5m, "GETTOTALS total");
            Totals closed = till.DayClose();
            Check(closed.TotalAmount == -5m && closed.LogFile.Length > 0, "DAYCLOSE total and log file");
            Check(Terminal.Version().StartsWith("Version "), "VERSION");
        }
        Thread.CurrentThread.CurrentCulture = CultureInfo.InvariantCulture;
    }

    static void FailuresThrowWithTheErrorTextAndTheDocument()
    {
        var cases = new[] {
            new { Options = "--decline", Amount = 10m, Text = "OPERAZIONE RIFIUTATA", Unknown = false },
            new { Options = "", Amount = 1000000m, Text = "Amount 1000000 invalid. Allowed values are: 0 to 999999.99.",
                  Unknown = false },
            // The answer and the reprint of the library's check arrive damaged: the check cannot settle it.
            new { Options = "--fault wrong-lrc --fault-on XR", Amount = 1m,
                  Text = "Outcome unknown", Unknown = true },
        };
        foreach (var c in cases)
        {
            using (var emulator = new Emulator(c.Options))
            {
                decimal amount = c.Amount;
                ZrpaException e = Throws<ZrpaException>(() => emulator.Terminal().Pay(amount), "PAY " + amount);
                if (e == null)
                    continue;
                Check(e.ErrorText.TrimEnd().StartsWith(c.Text), "error text: " + e.ErrorText);
                Check(e is OutcomeUnknownException == c.Unknown, "outcome unknown " + c.Unknown + ": " + e.ErrorText);
                Check(e.Command == "PAY" && e.Message.StartsWith("PAY failed: "), "message: " + e.Message);
                Check(c.Unknown || e.Fields["Error"] == "True", "the failure keeps its document: " + e.Document);
            }
        }
    }

    static void CancelFromAnotherThreadAndTheTimeLimit()
    {
        // Silent for payments only: before a payment the library may read the terminal's total and last
        // receipt (the first time, or to settle the cancelled one), and that reading is answered.
        using (var emulator = new Emulator("--fault silence --fault-on X"))
        {
            using (Terminal till = emulator.Terminal(new TerminalOptions { PrintLocation = "EFT", CommandTimeoutMs = 60000 }))
            {
                till.Open();
                Exception failure = null;
                var payer = new Thread(() => {
                    try
                    {
                        till.Pay(1m);
                    }
                    catch (Exception e)
                    {
                        failure = e;
                    }
                });
                payer.Start();
                // Cancels until the PAY has returned (bounded): a cancel that comes before the PAY is inside
                // the library reaches nothing, and the next one stops it.
                int reached = 0;
                for (int i = 0; i < 500 && payer.IsAlive; i++)
                {
                    reached = Math.Max(reached, till.Cancel());
                    Thread.Sleep(10);
                }
                Check(payer.Join(30000), "the cancelled PAY returns");
                Check(reached <= 1, "CANCEL reached " + reached + " commands");
                Check(failure is NotPerformedException || failure is OutcomeUnknownException,
                      "the cancelled PAY: " + failure);
            }
            ZrpaException limited = Throws<OutcomeUnknownException>(
                () => emulator.Terminal(new TerminalOptions { PrintLocation = "EFT", CommandTimeoutMs = 300 }).Pay(1m),
                "a PAY beyond its time limit");
            Check(limited != null && limited.ErrorText.Contains("(its time limit of 300 ms passed)"),
                  "the time limit's text: " + (limited == null ? "" : limited.ErrorText));
        }
    }

    static void TextsCrossAsUtf16BothWays()
    {
        using (var emulator = new Emulator())
        {
            // U+20AC cannot be sent to the terminal: the refusal quotes the reference as the library received it.
            ZrpaException e = Throws<ZrpaException>(() => emulator.Terminal().Pay(1m, "Caffè €"), "reference with €");
            Check(e != null && e.ErrorText.StartsWith("Reference [Caffè €] invalid: the character U+20AC at position 7"),
                  "the refusal quotes the reference: " + (e == null ? "" : e.ErrorText));
        }
    }

    static void CallsAndDocuments()
    {
        using (Terminal unreached = Terminal.Tcp("127.0.0.1", 9))
        {
            Check(unreached.GetStatus() != null, "GETSTATUS needs no terminal");
            Throws<ZrpaException>(() => unreached.VerifyTran(), "VERIFYTRAN is unsupported");
        }
        Outcome status = Terminal.Call("GETSTATUS", "");
        Check(status.Succeeded && status.ErrorText == "", "GETSTATUS: " + status.ErrorText);
        Outcome refused = Terminal.Call("PAY", "<R>");
        Check(!refused.Succeeded && refused.Code == -1 && refused.ErrorText.Length > 0, "a malformed request");
        Throws<ArgumentException>(() => Terminal.Call("NOPE", ""), "an unknown command");
        Throws<ArgumentOutOfRangeException>(() => Terminal.Tcp("127.0.0.1", 70000), "a port out of range");
        IDictionary<string, string> fields = Document.Parse("<A>x &amp;lt; &lt;y&gt; &quot;&apos;</A><B>2</B><A>3</A>");
        Check(fields["A"] == "x &lt; <y> \"'" && fields["B"] == "2", "Document.Parse unescapes once; the first wins");
        Check(Document.Escape("a<b>&\"c") == "a&lt;b&gt;&amp;&quot;c", "Document.Escape");
    }

    static int Main()
    {
        var tests = new Dictionary<string, Action> {
            { "a day at the till", ADayAtTheTillOnAnOpenDevice },
            { "failures", FailuresThrowWithTheErrorTextAndTheDocument },
            { "cancel and time limit", CancelFromAnotherThreadAndTheTimeLimit },
            { "UTF-16 texts", TextsCrossAsUtf16BothWays },
            { "calls and documents", CallsAndDocuments },
        };
        foreach (var test in tests)
        {
            try
            {
                test.Value();
            }
            catch (Exception e)
            {
                Check(false, test.Key + ": " + e);
            }
        }
        Console.WriteLine(failures == 0 ? "the .NET wrapper's tests passed (" + tests.Count + " groups)"
                                        : failures + " checks FAILED");
        return failures == 0 ? 0 : 1;
    }
}
