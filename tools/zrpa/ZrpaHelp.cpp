#include "ZrpaHelp.h"

namespace {
const char* const kConnection = R"(
Connection (or set the environment variable named in brackets once):
  --tcp HOST:PORT          the terminal's address on the network            [ZRPA_TCP]
  --serial COMn            a serial line instead (COM1, COM2, ...)          [ZRPA_SERIAL_PORT]
  --speed N                9600 (default), 19200, 38400, 57600, 115200...   [ZRPA_SPEED]
  --data-bits N            7 or 8 (default 8)                               [ZRPA_DATA_BITS]
  --parity P               NONE (default), ODD or EVEN                      [ZRPA_PARITY]
  --stop-bits N            1 (default) or 2                                 [ZRPA_STOP_BITS]
  --connect-timeout MS     how long to try to connect                       [ZRPA_CONNECT_TIMEOUT]
  --read-timeout MS        the line's own read time-out                     [ZRPA_READ_TIMEOUT]
  --log-id NAME            names the device log file (default zrpa)         [ZRPA_LOG_ID]
  --hex-log                add a hex dump of every message to the log       [ZRPA_HEX_LOG=1]
On Linux, COMn is /dev/ttyS<n-1> unless ZRPA_SERIAL_COM<n> names another device (ZRPA_SERIAL_COM3=/dev/ttyUSB0).
)";

const char* const kOperation = R"(
Operation:
  --ecr | --eft            who prints the receipt: the cash register (ECR, default; zrpa shows it)
                           or the terminal (EFT)                             [ZRPA_PRINT]
  --till N                 the cash register's number (default 1)           [ZRPA_TILL]
  --reference TEXT         the host's reference for the payment (pay only)
  --currency CCC           currency of the amount (default EUR)             [ZRPA_CURRENCY]
)";

const char* const kOutput = R"(
Output:
  (default)                a readable summary: outcome, amount, card, STAN, authorisation, refund
                           reference, the receipt as it would print, the log file
  --xml                    the library's result document as it is
  --json                   a JSON object with the outcome and every field of the result
  --verbose, -v            also the library's own texts beside the words zrpa uses for them

Ctrl+C while the terminal is waited for cancels the call (the library's CANCEL): it ends within a
second as "Not performed" (nothing reached the terminal: safe to try again) or as an outcome unknown.
Ctrl+C again leaves at once.

Exit status: 0 approved or done, 1 declined, failed or not performed, 2 wrong command line or request,
3 outcome unknown (the terminal took the request and no answer came: see `zrpa help unknown`).
)";

// aTerminalOptions: the connection and operation options apply (not to `send`, whose document names
// its own connection).
std::string Operation(const std::string& aUsage, const std::string& aWhat, const std::string& aExamples,
                      bool aTerminalOptions) {
    return "Usage: " + aUsage + "\n\n" + aWhat + "\n" +
           (aTerminalOptions ? std::string(kConnection) + kOperation : "") + kOutput + "\nExamples:\n" +
           aExamples;
}
} // namespace

std::string ZrpaUsage() {
    return R"(zrpa: checks a Protocol 17 payment terminal through the ZRPA_RIVEVEDEV17_10 library, and reads its logs.

Usage: zrpa COMMAND [arguments] [options]

Commands that talk to the terminal:
  pay AMOUNT                 take a payment, e.g. zrpa pay 1.00
  refund AMOUNT              pay money back to a card
  void REFUND-REFERENCE      cancel a payment by the refund reference it printed
  reprint                    print the last receipt again
  totals                     the totals of the terminal's current period
  dayclose                   close the terminal's period (end of day)
  check                      connect and ask for the totals: does the terminal answer, and how fast
  send EXPORT FILE           call one export with a request document as it stands (- reads standard input)
Other commands:
  status                     the library's own status (GETSTATUS; does not contact the terminal)
  version                    the driver's version
  log [FILE...]              what happened, operation by operation, from device logs (default: today's)
  journal [FILE|FOLDER...]   the payment journals; --unresolved: what may have moved money unseen
  demo                       a day at the till against the built-in terminal emulator
  emulator [options]         play a terminal on this computer (see zrpa emulator --help)
  help [COMMAND|unknown]     this text, a command's help, or what to do when the outcome is unknown

Every command has --help, with examples. Set the connection once, for example:
  export ZRPA_TCP=192.168.1.50:1234        (Windows: set ZRPA_TCP=192.168.1.50:1234)
  zrpa pay 1.00

Exit status: 0 approved or done, 1 declined or failed, 2 wrong command line or request, 3 outcome unknown.
)";
}

std::string ZrpaCommandHelp(const std::string& aCommand) {
    if (aCommand == "pay") {
        return Operation(
            "zrpa pay AMOUNT [options]",
            "Takes a payment of AMOUNT (\".\" as decimal point, at most 999999.99). The customer\n"
            "presents the card at the terminal; zrpa shows that it is waiting until the terminal answers.",
            "  zrpa pay 1.00 --tcp 192.168.1.50:1234\n  zrpa pay 12.50 --eft --reference TABLE-7\n"
            "  zrpa pay 0.10 --serial COM3 --speed 19200 --json\n",
            true);
    }
    if (aCommand == "refund") {
        return Operation("zrpa refund AMOUNT [options]",
                         "Pays AMOUNT back to the card the customer presents at the terminal.",
                         "  zrpa refund 5.00 --tcp 192.168.1.50:1234\n", true);
    }
    if (aCommand == "void") {
        return Operation(
            "zrpa void REFUND-REFERENCE [--amount A] [options]",
            "Cancels an earlier payment, named by the 34-character refund reference that `zrpa pay`\n"
            "showed (also in the result document of the payment). The terminal takes back the amount\n"
            "the reference names, which zrpa shows; --amount is only put in the request, and zrpa warns\n"
            "when it differs.",
            "  zrpa void 00010YA000000010000YAA1B2C30F34XKW --amount 12.34\n", true);
    }
    if (aCommand == "reprint") {
        return Operation(
            "zrpa reprint [options]",
            "Asks the terminal for its last receipt again: printed by the terminal (--eft) or sent to\n"
            "the cash register (--ecr, default), which zrpa shows.",
            "  zrpa reprint --eft\n", true);
    }
    if (aCommand == "totals") {
        return Operation("zrpa totals [options]", "Shows the total of the terminal's current period.",
                         "  zrpa totals --till 2\n", true);
    }
    if (aCommand == "dayclose") {
        return Operation("zrpa dayclose [options]",
                         "Closes the terminal's accounting period (end of day) and shows its total.",
                         "  zrpa dayclose --tcp 192.168.1.50:1234\n", true);
    }
    if (aCommand == "check") {
        return Operation("zrpa check [options]",
                         "Checks the connection to the terminal: connects, asks for the totals (no card,\n"
                         "no money moved) and shows the round-trip time. When the terminal does not\n"
                         "answer, zrpa says what to look at (address, cable, line settings).",
                         "  zrpa check --tcp 192.168.1.50:1234\n  zrpa check --serial COM3 --speed 19200\n",
                         true);
    }
    if (aCommand == "send") {
        return Operation(
            "zrpa send EXPORT FILE [options]",
            "Calls the export EXPORT (PAY, REPRINT, OPEN, CLOSE, GETSTATUS, DAYCLOSE, GETTOTALS,\n"
            "VERIFYTRAN, CANCEL, VERSION) with the request document in FILE as it stands (- reads standard\n"
            "input). The connection options are not used: the document names its connection.",
            "  zrpa send PAY request.xml --xml\n  zrpa send GETTOTALS - < totals.xml\n", false);
    }
    if (aCommand == "status") {
        return "Usage: zrpa status [--xml|--json]\n\nCalls GETSTATUS: the library answers without "
               "connecting to the terminal.\n\nExample:\n  zrpa status --json\n";
    }
    if (aCommand == "version") {
        return "Usage: zrpa version [--xml|--json]\n\nShows the version of the driver ZRPA_RIVEVEDEV17_10 "
               "(VERSION).\n\nExample:\n  zrpa version\n";
    }
    if (aCommand == "log") {
        return R"(Usage: zrpa log [FILE...] [--since T] [--until T] [--outcome O] [--json]

Reads device logs (LogFiles/Payment beside the cash-register program, one file per log id and day;
without FILE, today's logs in every folder the library writes to, as zrpa itself finds them) and
tells, operation by operation, what happened: time, operation and amount as the host asked, each frame
decoded by name and field, acknowledgements, time-outs, disconnections, elapsed time and the outcome
(approved, declined, failed, outcome unknown) with its reason. Logs with or without the hex dump, old
and new, and damaged or cut logs are read; what cannot be read is skipped.

  --since T, --until T     only operations that started in that period; T is yyyy-mm-dd,
                           "yyyy-mm-dd hh:mm" or "yyyy-mm-dd hh:mm:ss"
  --outcome O              only approved, declined, failed or unknown operations
  --json                   a JSON array of the operations

The journal beside each log (its Journal folder) completes a log cut short by a crash: an operation
whose log ends before its result takes its outcome from the journal, and one the log lost is shown from
the journal. A money operation whose record ends after its request may have gone out is never called
failed: it is outcome unknown, because the record ends.

Exit status: 0 when the logs were read, 2 when a file cannot be read or an option is wrong.

Examples:
  zrpa log LogFiles/Payment/ZRPA_RIVEVEDEV17_10_TILL01_20250307.log
  zrpa log LogFiles/Payment/*.log --outcome unknown
  zrpa log day.log --since "2025-03-07 14:00" --until "2025-03-07 15:00" --json
)";
    }
    if (aCommand == "journal") {
        return R"(Usage: zrpa journal [FILE|FOLDER...] [--unresolved] [--json]

Shows the payment journals (LogFiles/Payment/Journal/P17_<terminal>.journal, one per terminal): every
payment, refund and void with its steps (asked, sent, ack, answer, lost, receipt, end, verdict), what the
terminal answered and what the host was told. Without FILE, the Journal folders beside the device logs
(as zrpa log finds them). Lines damaged or cut by a crash are skipped and counted.

  --unresolved             only the operations whose request may have reached the terminal and that
                           nothing has settled since (no answer, no verdict): check these on the terminal
  --json                   a JSON array of the operations

Exit status: 0 when the journals were read, 2 when a named file cannot be read or an option is wrong.

Examples:
  zrpa journal --unresolved
  zrpa journal LogFiles/Payment/Journal/P17_192.168.1.50_9100.journal --json
)";
    }
    if (aCommand == "demo") {
        return R"(Usage: zrpa demo [--frames]

A day at the till against the built-in terminal emulator on 127.0.0.1, through the library's exports:
a payment with the receipt on the cash register, the void of that payment by its refund reference, a
refund, a reprint, the totals and a day close. --frames also shows every frame on the link. The exit
status is 1 when any result is not what a cash register expects.

Example:
  zrpa demo --frames
)";
    }
    if (aCommand == "unknown") {
        return R"(Outcome unknown (exit status 3)

The terminal acknowledged the request and then no answer came (the line broke, the terminal restarted,
the answer was damaged). The customer may have paid. Do not take the payment again straight away:
  1. look at the terminal: its display or its own receipt, or its list of transactions;
  2. run `zrpa log FILE --outcome unknown` on the day's log to see the request and what came back;
  3. when the terminal shows the payment as done, keep it (void it with its refund reference if it must
     be cancelled); when it does not, take the payment again.
)";
    }
    return std::string();
}
