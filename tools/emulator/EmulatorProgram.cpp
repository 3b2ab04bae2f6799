#include "emulator/EmulatorProgram.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <string>
#include <thread>

#include "emulator/EmulatorTransport.h"
#include "emulator/P17Wire.h"
#include "emulator/TerminalEmulator.h"

namespace {
std::atomic<bool> gStop{false};

void OnSignal(int) {
    gStop = true;
}

const char* kHelp = R"(plays a Protocol 17 payment terminal for the ZRPA_RIVEVEDEV17_10 library.

Usage: PROGRAM [options]

Transport (one of):
  --tcp PORT            listen on 127.0.0.1:PORT (default: an ephemeral port, printed at start)
  --pty                 serve a pseudo-terminal (POSIX); its path is printed at start. Point the library's
                        serial port at it with ZRPA_SERIAL_COM<n>=<path> and SerialPort COM<n>.

Payment answer ("X"):
  --pay-result CODE     result code: 00 approved (default), 01 declined, any other two characters as given
  --decline             same as --pay-result 01
  --error-text TEXT     decline description, 24 characters at most (default "OPERAZIONE RIFIUTATA")
  --pan TEXT            masked card number, 19 characters (default ***************1234)
  --entry-mode MODE     ICC, MAG, MAN, CLM, CLI or any 3 characters (default ICC)
  --auth CODE           authorisation code, 6 characters (default A1B2C3)
  --acquirer ID         acquirer identifier, 11 digits (default 00000000003)
  --bank-flag           position 48 "1": the driver reports the network "bank"
  --stan NNNNNN         fixed STAN (default: 000001, 000002, ... one per answer)
  --operation NNNNNN    fixed operation number (default: the STAN)
  --date DDDHHMM        terminal date of the answers: day of the year, hour, minute (default: now)
  --conversion          add the currency-conversion block (answer code V), with:
  --rate NNNNNNNN         exchange rate, 4 implied decimals (default 01234567 = 123.4567)
  --currency CCC          cardholder currency (default 840)
  --foreign-amount N      12 digits in the currency's smallest unit (default 000000012345)
  --decimals D            decimals of that currency (default 2)

Other answers:
  --refund-result CODE  refund ("A") result code (default 00)
  --void-result CODE    void ("Q") result code (default 00); 01 and 91 carry --void-error
  --void-error TEXT     void error description (default "OPERAZIONE NON TROVATA")
  --void-pan TEXT       card number of an approved void (default stars and the voided last four digits)
  --no-void-check       approve a void that names no payment it holds (or one already voided) and take
                        its amount off the total. By default, as a terminal does, a void must name an
                        approved payment of this session (STAN, card, acquirer, amount, authorisation
                        code and date) not voided yet, else it is refused with code 01. (--void-check,
                        the default, is still accepted.)
  --dayclose-result CODE  day close ("C") result code (default 00)
  --dayclose-error TEXT   day close error description, 19 characters
  --totals-result CODE  totals ("T") result code (default 00)
  --total CENTS         total reported by totals and day close (default: approved payments minus
                        refunds and voids since the last day close)

Receipt text (sent when the cash register prints: "E" flag 1, or a reprint with flag 1):
  --no-receipt          send no receipt text
  --receipt-width W     24 (default), 42 or 12 characters per line
  --receipt-text TEXT   send TEXT exactly instead of the built receipt; \e stands for ESC, which must end it
  --receipt-chunk N     receipt characters per frame (default 200; the driver keeps at most 200)
  --status-frames N     SOH status frames before each answer (default 0)

Faults (applied to the requests named by --fault-on, default XAQRCT):
  --fault NAME          no-ack           the request is neither acknowledged nor answered
                        bad-ack          the acknowledgement has a wrong check character (06 03 7B)
                        data-for-ack     the answer frame comes in place of the acknowledgement
                        wrong-lrc        the answer frame has a wrong check character
                        eot              the answer frame ends with EOT instead of ETX
                        silence          acknowledged, never answered
                        close            acknowledged, then the connection is closed
                        close-mid-frame  half an answer frame, then the connection is closed
                        endless-receipt  receipt frames that never end with ESC
                        reset-after-answer   the answer, then at once a reset of the connection
                        receipt-wrong-lrc    receipt frame number --fault-at has a wrong check character
                        receipt-cut          the line is cut after --fault-at bytes of receipt frames
                        reset-after-receipt  the whole receipt, then at once a reset of the connection
                        status-only          acknowledged, then status frames and never an answer
                        reset                acknowledged, then at once a reset of the connection
                        garbage              acknowledged, then bytes that form no frame, then silence
                        babble               acknowledged, then bytes that form no frame without end
  --fault-at N          receipt-wrong-lrc: the frame (default 1, the first); receipt-cut: the bytes of
                        receipt frames sent before the cut (a frame's length cuts between two frames)
  --fault-on LETTERS    request codes the fault applies to, e.g. E or XQ
  --fault-when MOMENT   where the terminal stands when a fault keeps the answer from the driver (every
                        fault but eot, endless-receipt, reset-after-answer, receipt-wrong-lrc, receipt-cut
                        and reset-after-receipt):
                        before-processing  nothing happened (default): no booking, last receipt unchanged
                        after-approving    approved and booked; its receipt is the last receipt
                        after-declining    declined; its receipt is the last receipt, nothing booked
  --fault-count N       the fault hits only the next N requests of --fault-on (default 0: every one)
  --ack-wait MS         how long the terminal waits for each ACK of the driver (default 5000)

Output:
  --terminal-id ID      8-character terminal identifier (default 10000001)
  --quiet               do not print the frames
  --help                this text

Every line shows the direction as zrpa log does (-> from the driver, <- to the driver), the bytes with control characters
named (STX, ETX, EOT, ACK, SOH, ESC, LRC=xx) and, after "|", what the message means.

Examples:
  PROGRAM --tcp 5000
  PROGRAM --tcp 5000 --decline --error-text "FONDI INSUFFICIENTI"
  PROGRAM --tcp 5000 --fault close --fault-on X
  PROGRAM --tcp 5000 --fault reset --fault-on X --fault-when after-approving --fault-count 1
  PROGRAM --pty
)";

bool Need(const std::string& aProgram, int i, int argc, const char* aOption) {
    if (i + 1 >= argc) {
        std::cerr << aProgram << ": " << aOption << " needs a value (see --help)\n";
        return false;
    }
    return true;
}

bool ToInt(const std::string& aText, long long& aOut) {
    char* end = nullptr;
    aOut = std::strtoll(aText.c_str(), &end, 10);
    return !aText.empty() && end != nullptr && *end == '\0';
}

std::string Unescape(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size() && s[i + 1] == 'e') {
            out += p17emu::kESC;
            ++i;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::string Stamp() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    const std::tm tm = p17emu::LocalCalendarTime(t);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%03d", tm.tm_hour, tm.tm_min, tm.tm_sec,
                  static_cast<int>(ms));
    return buf;
}
} // namespace

int RunEmulatorProgram(const std::string& aProgram, int argc, char** argv) {
    p17emu::Config c;
    c.VoidCheck = true; // a terminal refuses a void of nothing, or a second void of one payment
    bool pty = false;
    bool quiet = false;
    long long port = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        long long n = 0;
        auto text = [&](std::string& aField) {
            if (!Need(aProgram, i, argc, a.c_str())) {
                return false;
            }
            aField = argv[++i];
            return true;
        };
        auto number = [&](long long aMin, long long aMax) {
            if (!Need(aProgram, i, argc, a.c_str())) {
                return false;
            }
            if (!ToInt(argv[++i], n) || n < aMin || n > aMax) {
                std::cerr << aProgram << ": " << a << " " << argv[i] << " invalid: expected a number from "
                          << aMin << " to " << aMax << "\n";
                return false;
            }
            return true;
        };
        bool ok = true;
        if (a == "--help" || a == "-h") {
            std::string help = aProgram + ": " + kHelp;
            for (auto at = help.find("PROGRAM"); at != std::string::npos; at = help.find("PROGRAM", at)) {
                help.replace(at, 7, aProgram);
            }
            std::cout << help;
            return 0;
        } else if (a == "--tcp") {
            ok = number(0, 65535);
            port = n;
        } else if (a == "--pty") {
            pty = true;
        } else if (a == "--pay-result") {
            ok = text(c.PayResult);
        } else if (a == "--decline") {
            c.PayResult = "01";
        } else if (a == "--error-text") {
            ok = text(c.ErrorText);
        } else if (a == "--pan") {
            ok = text(c.Pan);
        } else if (a == "--entry-mode") {
            ok = text(c.EntryMode);
        } else if (a == "--auth") {
            ok = text(c.AuthCode);
        } else if (a == "--acquirer") {
            ok = text(c.Acquirer);
        } else if (a == "--bank-flag") {
            c.BankFlag = true;
        } else if (a == "--stan") {
            ok = text(c.Stan);
        } else if (a == "--operation") {
            ok = text(c.OperationNumber);
        } else if (a == "--date") {
            ok = text(c.DateTime);
        } else if (a == "--conversion") {
            c.Conversion = true;
        } else if (a == "--rate") {
            ok = text(c.Rate);
        } else if (a == "--currency") {
            ok = text(c.ForeignCurrency);
        } else if (a == "--foreign-amount") {
            ok = text(c.ForeignAmount);
        } else if (a == "--decimals") {
            ok = number(0, 9);
            c.ForeignDecimals = static_cast<int>(n);
        } else if (a == "--refund-result") {
            ok = text(c.RefundResult);
        } else if (a == "--void-result") {
            ok = text(c.VoidResult);
        } else if (a == "--void-error") {
            ok = text(c.VoidErrorText);
        } else if (a == "--void-pan") {
            ok = text(c.VoidPan);
        } else if (a == "--void-check") {
            c.VoidCheck = true;
        } else if (a == "--no-void-check") {
            c.VoidCheck = false;
        } else if (a == "--dayclose-result") {
            ok = text(c.DayCloseResult);
        } else if (a == "--dayclose-error") {
            ok = text(c.DayCloseErrorText);
        } else if (a == "--totals-result") {
            ok = text(c.TotalsResult);
        } else if (a == "--total") {
            ok = number(-999999999999999LL, 9999999999999999LL);
            c.Total = n;
        } else if (a == "--no-receipt") {
            c.Receipt = false;
        } else if (a == "--receipt-width") {
            ok = number(12, 42) && (n == 12 || n == 24 || n == 42);
            if (!ok) {
                std::cerr << aProgram << ": --receipt-width must be 12, 24 or 42\n";
            }
            c.ReceiptWidth = static_cast<int>(n);
        } else if (a == "--receipt-text") {
            ok = text(c.ReceiptRaw);
            c.ReceiptRaw = Unescape(c.ReceiptRaw);
        } else if (a == "--receipt-chunk") {
            ok = number(1, 1000);
            c.ReceiptChunk = static_cast<std::size_t>(n);
        } else if (a == "--status-frames") {
            ok = number(0, 100);
            c.StatusFrames = static_cast<int>(n);
        } else if (a == "--fault") {
            std::string name;
            ok = text(name);
            if (ok && !p17emu::ParseFault(name, c.FaultKind)) {
                std::cerr << aProgram << ": fault " << name << " unknown (see --help)\n";
                ok = false;
            }
        } else if (a == "--fault-at") {
            ok = number(0, 1000000);
            c.FaultAt = static_cast<std::size_t>(n);
        } else if (a == "--fault-on") {
            ok = text(c.FaultOn);
        } else if (a == "--fault-when") {
            std::string name;
            ok = text(name);
            if (ok && !p17emu::ParseFaultMoment(name, c.FaultWhen)) {
                std::cerr
                    << aProgram << ": --fault-when " << name
                    << " unknown. Allowed values are: before-processing, after-approving, after-declining\n";
                ok = false;
            }
        } else if (a == "--fault-count") {
            ok = number(0, 1000000);
            c.FaultCount = static_cast<std::size_t>(n);
        } else if (a == "--ack-wait") {
            ok = number(1, 600000);
            c.AckWaitMs = static_cast<int>(n);
        } else if (a == "--terminal-id") {
            ok = text(c.TerminalId);
        } else if (a == "--quiet") {
            quiet = true;
        } else {
            std::cerr << aProgram << ": unknown option " << a << " (see --help)\n";
            ok = false;
        }
        if (!ok) {
            return 2;
        }
    }

    p17emu::TerminalEmulator emulator(c);
    if (!quiet) {
        emulator.SetObserver(
            [](const std::string& aLine) { std::cout << Stamp() << " " << aLine << std::endl; });
    }
    const bool started = pty ? emulator.StartPty() : emulator.StartTcp(static_cast<std::uint16_t>(port));
    if (!started) {
        std::cerr << aProgram << ": " << emulator.Error() << "\n";
        return 1;
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    if (pty) {
        std::cout << "terminal " << c.TerminalId << " on pseudo-terminal " << emulator.SlavePath()
                  << std::endl;
    } else {
        std::cout << "terminal " << c.TerminalId << " listening on 127.0.0.1:" << emulator.Port()
                  << std::endl;
    }
    std::cout << "outcome: payment " << c.PayResult << ", refund " << c.RefundResult << ", void "
              << c.VoidResult << (c.VoidCheck ? " (void check)" : " (no void check)") << ", fault "
              << p17emu::FaultName(c.FaultKind) << " (" << p17emu::FaultMomentName(c.FaultWhen) << ", "
              << (c.FaultCount == 0 ? std::string("every request") : "next " + std::to_string(c.FaultCount))
              << " of " << c.FaultOn << "); Ctrl-C stops" << std::endl;
    while (!gStop) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    emulator.Stop();
    return 0;
}
