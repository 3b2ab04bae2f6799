#include "TerminalEmulator.h"

#include <chrono>
#include <cstdio>
#include <ctime>

#include "EmulatorScreen.h"
#include "EmulatorTransport.h"
#include "MessageFields.h"
#include "P17Wire.h"

namespace p17emu {

namespace {
using Clock = std::chrono::steady_clock;

constexpr int kSlice = 100;             // longest single wait, so Stop() is noticed quickly
constexpr int kByteGapMs = 1000;        // longest gap inside one frame
constexpr std::size_t kMaxFrame = 4096; // longer "frames" are noise
constexpr int kEndlessReceiptFrames = 100000;
// Status frames of the status-only fault: one more than a driver waits for.
constexpr int kEndlessStatusFrames = 100001;
// Bytes of the babble fault at most (some minutes at the pace it sends them), and per write.
constexpr std::size_t kBabbleBytes = 64 * 1024 * 1024;
constexpr std::size_t kBabbleChunk = 1024;

// Bytes that form no frame: no control character of the link, no frame end.
std::string Noise(std::size_t aCount) {
    std::string noise(aCount, ' ');
    for (std::size_t i = 0; i < aCount; ++i) {
        noise[i] = static_cast<char>(i % 7 == 0 ? 0x80 + i % 128 : '#' + i % 60);
    }
    return noise;
}

// The names of the command line.
template <typename T> struct Named {
    T Value;
    const char* Name;
};

const Named<Fault> kFaultNames[] = {{Fault::None, "none"},
                                    {Fault::NoAck, "no-ack"},
                                    {Fault::BadAck, "bad-ack"},
                                    {Fault::DataForAck, "data-for-ack"},
                                    {Fault::WrongLrc, "wrong-lrc"},
                                    {Fault::Eot, "eot"},
                                    {Fault::Silence, "silence"},
                                    {Fault::Close, "close"},
                                    {Fault::CloseMidFrame, "close-mid-frame"},
                                    {Fault::EndlessReceipt, "endless-receipt"},
                                    {Fault::ResetAfterAnswer, "reset-after-answer"},
                                    {Fault::ReceiptWrongLrc, "receipt-wrong-lrc"},
                                    {Fault::ReceiptCut, "receipt-cut"},
                                    {Fault::ResetAfterReceipt, "reset-after-receipt"},
                                    {Fault::StatusOnly, "status-only"},
                                    {Fault::Reset, "reset"},
                                    {Fault::Garbage, "garbage"},
                                    {Fault::Babble, "babble"}};

const Named<FaultMoment> kFaultMomentNames[] = {{FaultMoment::BeforeProcessing, "before-processing"},
                                                {FaultMoment::AfterApproving, "after-approving"},
                                                {FaultMoment::AfterDeclining, "after-declining"}};

template <typename T, std::size_t N> const char* NameOf(const Named<T> (&aTable)[N], T aValue) {
    for (const auto& n : aTable) {
        if (n.Value == aValue) {
            return n.Name;
        }
    }
    return "?";
}

template <typename T, std::size_t N>
bool ValueOf(const Named<T> (&aTable)[N], const std::string& aName, T& aValue) {
    for (const auto& n : aTable) {
        if (aName == n.Name) {
            aValue = n.Value;
            return true;
        }
    }
    return false;
}

// Faults that keep the answer from the driver: the terminal's state then follows Config::FaultWhen.
bool LosesAnswer(Fault aFault) {
    switch (aFault) {
    case Fault::NoAck:
    case Fault::BadAck:
    case Fault::DataForAck:
    case Fault::WrongLrc:
    case Fault::Silence:
    case Fault::Close:
    case Fault::CloseMidFrame:
    case Fault::StatusOnly:
    case Fault::Reset:
    case Fault::Garbage:
    case Fault::Babble:
        return true;
    default:
        return false;
    }
}

// The result code of a request that changes the terminal's state: an invalid request is refused; a fault's
// moment overrides the configured outcome.
std::string ResultCode(const std::string& aConfigured, bool aValid, FaultMoment aWhen) {
    if (!aValid || aWhen == FaultMoment::AfterDeclining) {
        return "01";
    }
    return aWhen == FaultMoment::AfterApproving ? "00" : aConfigured;
}

// Left-aligned, cut or filled with blanks to aWidth.
std::string Fit(const std::string& s, std::size_t aWidth) {
    std::string out = s.substr(0, aWidth);
    out.resize(aWidth, ' ');
    return out;
}

std::string Digits(std::int64_t aValue, std::size_t aWidth) {
    const bool negative = aValue < 0;
    std::string d = std::to_string(negative ? -aValue : aValue);
    const std::size_t room = negative ? aWidth - 1 : aWidth;
    if (d.size() < room) {
        d.insert(0, room - d.size(), '0');
    } else if (d.size() > room) {
        d = d.substr(d.size() - room);
    }
    return negative ? "-" + d : d;
}

bool AllDigits(const std::string& s) {
    if (s.empty()) {
        return false;
    }
    for (const char c : s) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

// How a void names a field of the journal: the card's last four digits whatever the layout around
// them, a number without the blanks it was padded with, as aWidth digits.
std::string VoidDigits(const std::string& aField, std::size_t aWidth, bool aLastOnly) {
    std::string kept;
    for (const char c : aField) {
        if (c != ' ' && c != '\0' && c != '-') {
            kept += c;
        }
    }
    if (aLastOnly) {
        return kept.size() >= aWidth ? kept.substr(kept.size() - aWidth) : kept;
    }
    return kept.size() < aWidth ? std::string(aWidth - kept.size(), '0') + kept : kept;
}

struct LocalNow {
    std::string Ddd;        // DDDHHMM of the answers
    std::string DdMmYyHhNn; // as the void message carries it
    std::string Shown;      // dd/mm/yy hh:nn for the receipt
};

LocalNow Now(const std::string& aOverride) {
    const std::time_t t = std::time(nullptr);
    const std::tm tm = LocalCalendarTime(t);
    char buf[32];
    LocalNow n;
    std::snprintf(buf, sizeof buf, "%03d%02d%02d", tm.tm_yday + 1, tm.tm_hour, tm.tm_min);
    n.Ddd = aOverride.empty() ? buf : aOverride;
    std::snprintf(buf, sizeof buf, "%02d%02d%02d%02d%02d", tm.tm_mday, tm.tm_mon + 1, tm.tm_year % 100,
                  tm.tm_hour, tm.tm_min);
    n.DdMmYyHhNn = buf;
    std::snprintf(buf, sizeof buf, "%02d/%02d/%02d %02d:%02d", tm.tm_mday, tm.tm_mon + 1, tm.tm_year % 100,
                  tm.tm_hour, tm.tm_min);
    n.Shown = buf;
    return n;
}

std::string AmountShown(const std::string& aCents) {
    std::string d = aCents;
    while (d.size() > 3 && d[0] == '0') {
        d.erase(0, 1);
    }
    if (d.size() < 3) {
        d.insert(0, 3 - d.size(), '0');
    }
    return "EUR " + d.substr(0, d.size() - 2) + "," + d.substr(d.size() - 2);
}

// A receipt line of aWidth characters: label on the left, value on the right.
std::string Line(const std::string& aLabel, const std::string& aValue, std::size_t aWidth) {
    if (aLabel.size() + aValue.size() + 1 > aWidth) {
        return Fit(aValue.empty() ? aLabel : aValue, aWidth);
    }
    return aLabel + std::string(aWidth - aLabel.size() - aValue.size(), ' ') + aValue;
}

std::string Centered(const std::string& aText, std::size_t aWidth) {
    const std::string t = aText.substr(0, aWidth);
    const std::size_t left = (aWidth - t.size()) / 2;
    return Fit(std::string(left, ' ') + t, aWidth);
}

// Digits of the totals in the day close and totals answers (a sign counts as one).
constexpr std::size_t kTotalDigits = 16;
// Lengths of the answers that go on after their last field: with zeros, as the terminal sends them.
constexpr std::size_t kVoidAnswerLength = 74;
constexpr std::size_t kDayCloseAnswerLength = 40;

// The header of an answer to aRequestCode: terminal id, code letter aLetter, result code.
AnswerText Header(const Config& c, char aRequestCode, const std::string& aLetter,
                  const std::string& aResult) {
    AnswerText answer(aRequestCode);
    answer.Put("terminal_id", c.TerminalId).Put("code", aLetter).Put("result", aResult);
    return answer;
}

// What each receipt or status frame begins with: terminal id and the code letter "S".
std::string ReceiptHead(const Config& c) {
    return AnswerText(P17ReceiptLayout()).Put("terminal_id", c.TerminalId).Put("code", "S").Text();
}
} // namespace

const char* FaultName(Fault aFault) {
    return NameOf(kFaultNames, aFault);
}

bool ParseFault(const std::string& aName, Fault& aFault) {
    return ValueOf(kFaultNames, aName, aFault);
}

const char* FaultMomentName(FaultMoment aMoment) {
    return NameOf(kFaultMomentNames, aMoment);
}

bool ParseFaultMoment(const std::string& aName, FaultMoment& aMoment) {
    return ValueOf(kFaultMomentNames, aName, aMoment);
}

// One conversation with the driver over one link (a TCP connection, or the pseudo-terminal's lifetime).
class Session {
public:
    Session(TerminalEmulator& aEmu, ByteLink& aLink) : fEmu(aEmu), fLink(aLink) {}

    void Run() {
        while (!fEmu.fStop && !fClosed) {
            fEmu.fListening = true;
            Frame f = fPending.Type != Kind::Timeout ? Take(fPending) : ReadFrame(kSlice);
            if (f.Type == Kind::Closed) {
                return;
            }
            if (f.Type == Kind::Timeout || f.Type == Kind::Ack || f.Type == Kind::Noise) {
                continue;
            }
            if (!f.LrcOk) {
                fEmu.Note("request frame with a wrong check character: not acknowledged");
                continue;
            }
            fEmu.fListening = false;
            Handle(f.Text);
        }
    }

private:
    enum class Kind { Timeout, Closed, Data, Ack, Noise };
    struct Frame {
        Kind Type = Kind::Timeout;
        std::string Bytes;
        std::string Text;
        bool LrcOk = false;
    };

    static Frame Take(Frame& aFrame) {
        Frame f = std::move(aFrame);
        aFrame = Frame();
        return f;
    }

    // 1: a byte; 0: nothing within aTimeoutMs; -1: link gone or emulator stopping.
    int NextByte(char& aOut, int aTimeoutMs) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(aTimeoutMs);
        while (fPos >= fBuffer.size()) {
            if (fEmu.fStop || fClosed) {
                return -1;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) {
                return 0;
            }
            std::uint8_t chunk[512];
            const int n = fLink.Read(chunk, sizeof chunk, static_cast<int>(left < kSlice ? left : kSlice));
            if (n < 0) {
                fClosed = true;
                return -1;
            }
            fBuffer.assign(reinterpret_cast<const char*>(chunk), static_cast<std::size_t>(n));
            fPos = 0;
        }
        aOut = fBuffer[fPos++];
        return 1;
    }

    Frame ReadFrame(int aTimeoutMs) {
        Frame f;
        char c = 0;
        const int first = NextByte(c, aTimeoutMs);
        if (first <= 0) {
            f.Type = first < 0 ? Kind::Closed : Kind::Timeout;
            return f;
        }
        f.Bytes += c;
        if (c == kACK) {
            for (int i = 0; i < 2 && NextByte(c, kByteGapMs) > 0; ++i) {
                f.Bytes += c;
            }
            f.Type = f.Bytes == AckFrame() ? Kind::Ack : Kind::Noise;
            fEmu.Record(true, f.Bytes, f.Type == Kind::Ack ? "ACK" : "malformed ACK");
            if (f.Type == Kind::Ack) {
                std::lock_guard<std::mutex> g(fEmu.fLock);
                ++fEmu.fAcks;
            }
            return f;
        }
        if (c != kSTX) {
            f.Type = Kind::Noise;
            fEmu.Record(true, f.Bytes, "stray byte");
            return f;
        }
        while (f.Bytes.size() < kMaxFrame) {
            if (NextByte(c, kByteGapMs) <= 0) {
                f.Type = Kind::Noise;
                fEmu.Record(true, f.Bytes, "incomplete frame");
                return f;
            }
            f.Bytes += c;
            if (c == kETX || c == kEOT) {
                break;
            }
        }
        const std::string checked = f.Bytes;
        if (NextByte(c, kByteGapMs) <= 0) {
            f.Type = Kind::Noise;
            fEmu.Record(true, f.Bytes, "frame without check character");
            return f;
        }
        f.Bytes += c;
        f.Type = Kind::Data;
        f.LrcOk = Lrc(checked) == c;
        f.Text = checked.substr(1, checked.size() - 2);
        {
            std::lock_guard<std::mutex> g(fEmu.fLock);
            fEmu.fRequestFrames.push_back(f.Bytes);
            if (f.LrcOk) {
                fEmu.fRequests.push_back(f.Text);
            }
        }
        fEmu.Record(true, f.Bytes, (f.LrcOk ? "" : "WRONG LRC ") + DescribeRequest(f.Text));
        return f;
    }

    // True when the driver acknowledged. A data frame that arrives instead is kept for the main loop.
    bool WaitAck(int aTimeoutMs) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(aTimeoutMs);
        while (!fEmu.fStop && !fClosed) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) {
                break;
            }
            Frame f = ReadFrame(static_cast<int>(left));
            if (f.Type == Kind::Ack) {
                return true;
            }
            if (f.Type == Kind::Data) {
                fPending = std::move(f);
                return false;
            }
            if (f.Type == Kind::Closed) {
                return false;
            }
        }
        return false;
    }

    void Send(const std::string& aBytes, const std::string& aText) {
        fEmu.Record(false, aBytes, aText);
        if (!fLink.Write(aBytes)) {
            fClosed = true;
        }
    }

    void CloseLink() {
        if (fLink.CanClose()) {
            fEmu.Note("closing the connection");
            fLink.Close();
            fClosed = true;
        }
    }

    // Keeps the line open and quiet until the driver hangs up, sends a new request or the emulator stops.
    void Hold() {
        fEmu.fListening = true;
        while (!fEmu.fStop && !fClosed && fPending.Type == Kind::Timeout) {
            Frame f = ReadFrame(kSlice);
            if (f.Type == Kind::Data) {
                fPending = std::move(f);
            }
        }
    }

    std::string NextCounter(const std::string& aConfigured) {
        if (!aConfigured.empty()) {
            return aConfigured;
        }
        std::lock_guard<std::mutex> g(fEmu.fLock);
        return Digits(++fEmu.fStanCounter, 6);
    }

    // The fault for this request, if the configuration has one for its code and its count is not spent.
    Fault TakeFault(const Config& c, char aCode) {
        if (c.FaultKind == Fault::None || c.FaultOn.find(aCode) == std::string::npos) {
            return Fault::None;
        }
        std::lock_guard<std::mutex> g(fEmu.fLock);
        if (c.FaultCount != 0 && fEmu.fFaultsInjected >= c.FaultCount) {
            return Fault::None;
        }
        ++fEmu.fFaultsInjected;
        return c.FaultKind;
    }

    std::int64_t Total(const Config& c) const { return c.Total.has_value() ? *c.Total : fEmu.JournalTotal(); }

    // What the terminal makes of one request: the answer text (empty: none is sent, as for E), the receipt
    // text it sends when the cash register prints, and what it books (run once it has processed the
    // request).
    struct Outcome {
        std::string Answer;
        std::string Receipt;
        std::function<void()> Commit;
        std::string Why; // why the terminal chose this outcome when no option or fault says it
    };

    Outcome Answer(char aCode, const std::string& t, const Config& c, bool aValid, FaultMoment aWhen) {
        const LocalNow now = Now(c.DateTime);
        const std::size_t w = c.ReceiptWidth == 42 ? 42 : c.ReceiptWidth == 12 ? 12 : 24;
        std::vector<std::string> lines;
        lines.push_back(Centered("TERMINALE " + c.TerminalId, w));
        lines.push_back(Line("DATA", now.Shown, w));
        Outcome o;
        switch (aCode) {
        case 'X':
            AnswerPayment(t, c, ResultCode(c.PayResult, aValid, aWhen), aValid, now, w, lines, o);
            break;
        case 'A': {
            const std::string rc = ResultCode(c.RefundResult, aValid, aWhen);
            const std::string amount = RequestField(t, "amount");
            o.Answer = Header(c, 'A', "A", rc)
                           .Put("card", c.Pan)
                           .Put("entry_mode", c.EntryMode)
                           .Put("auth_code", c.AuthCode)
                           .Put("acquirer", c.Acquirer)
                           .Put("date_time", now.Ddd)
                           .Text();
            if (rc == "00") {
                const std::int64_t cents = std::stoll(amount);
                o.Commit = [this, cents]() {
                    std::lock_guard<std::mutex> g(fEmu.fLock);
                    fEmu.fRefunds += cents;
                    ++fEmu.fRefundCount;
                };
            }
            lines.push_back(Centered("STORNO / RIMBORSO", w));
            // The refund answer has no STAN, but its receipt, like every receipt, is numbered.
            lines.push_back(Line("OPER.", NextCounter(c.OperationNumber), w));
            lines.push_back(Line("IMPORTO", AmountShown(amount), w));
            lines.push_back(Centered(rc == "00" ? "TRANSAZIONE ESEGUITA" : "OPERAZIONE RIFIUTATA", w));
            break;
        }
        case 'Q':
            AnswerVoid(t, c, ResultCode(c.VoidResult, aValid, aWhen), aValid, now, w, lines, o);
            break;
        case 'R': {
            std::lock_guard<std::mutex> g(fEmu.fLock);
            if (!fEmu.fLastReceipt.empty()) {
                // The receipt as it was sent, unchanged: a copy is worth nothing if it differs.
                o.Answer = Header(c, 'R', "R", "00").Text();
                o.Receipt = fEmu.fLastReceipt;
                return o;
            }
            o.Answer = Header(c, 'R', "R", "01").Text();
            lines.push_back(Centered("NESSUNA TRANSAZIONE", w));
            break;
        }
        case 'C': {
            const std::string rc = ResultCode(c.DayCloseResult, aValid, aWhen);
            AnswerText answer = Header(c, 'C', "C", rc);
            if (rc == "00") {
                answer.Put("total", Digits(Total(c), kTotalDigits));
            } else {
                answer.Put("error_text", c.DayCloseErrorText);
            }
            o.Answer = answer.ZerosTo(kDayCloseAnswerLength).Text();
            if (rc == "00") {
                o.Commit = [this]() {
                    std::lock_guard<std::mutex> g(fEmu.fLock);
                    fEmu.fJournal.clear();
                    fEmu.fRefunds = 0;
                    fEmu.fVoids = 0;
                    fEmu.fRefundCount = fEmu.fLooseVoidCount = 0;
                };
            }
            break;
        }
        case 'T':
            o.Answer = Header(c, 'T', "T", aValid ? c.TotalsResult : "01")
                           .Put("total", Digits(Total(c), kTotalDigits))
                           .Text();
            break;
        default:
            break;
        }
        lines.push_back(Centered("ARRIVEDERCI", w));
        // Receipt text: the width selector, full-width lines, and ESC in place of the last blank.
        const char selector = w == 42 ? '^' : w == 12 ? '{' : '}';
        o.Receipt = std::string(1, selector);
        for (const auto& l : lines) {
            o.Receipt += l;
        }
        o.Receipt.back() = kESC;
        const bool transaction = aCode == 'X' || aCode == 'A' || aCode == 'Q';
        if (transaction && !c.ReceiptRaw.empty()) {
            o.Receipt = c.ReceiptRaw;
        }
        // A transaction's receipt, approved or declined, becomes the last receipt; a request the terminal
        // could not read is no transaction.
        if (transaction && aValid) {
            o.Commit = [this, booking = std::move(o.Commit), receipt = o.Receipt]() {
                if (booking) {
                    booking();
                }
                std::lock_guard<std::mutex> g(fEmu.fLock);
                fEmu.fLastReceipt = receipt;
            };
        }
        return o;
    }

    void AnswerPayment(const std::string& t, const Config& c, const std::string& rc, bool aValid,
                       const LocalNow& now, std::size_t w, std::vector<std::string>& lines, Outcome& o) {
        const std::string stan = NextCounter(c.Stan);
        const std::string amount = RequestField(t, "amount");
        lines.push_back(Centered("PAGAMENTO", w));
        if (rc != "00") {
            // The numbers the terminal did not reach are zeros.
            AnswerText answer = Header(c, 'X', "X", rc);
            o.Answer = answer.Put("error_text", aValid ? c.ErrorText : "RICHIESTA NON VALIDA")
                           .Put("stan", stan)
                           .Zeros("operation")
                           .Zeros("amount")
                           .Zeros("conversion")
                           .Text();
            lines.push_back(Line("STAN", answer.Get("stan"), w));
            lines.push_back(Line("IMPORTO", AmountShown(amount), w));
            lines.push_back(Centered(c.ErrorText, w));
            return;
        }
        const std::string op = c.OperationNumber.empty() ? stan : c.OperationNumber;
        AnswerText answer = Header(c, 'X', c.Conversion ? "V" : "X", "00");
        answer.Put("card", c.Pan)
            .Put("entry_mode", c.EntryMode)
            .Put("auth_code", c.AuthCode)
            .Put("date_time", now.Ddd)
            .Put("bank_flag", c.BankFlag ? "1" : "0")
            .Put("acquirer", c.Acquirer)
            .Put("stan", stan)
            .Put("operation", op)
            .Put("amount", amount)
            .Put("conversion", c.Conversion ? "1" : "0");
        if (c.Conversion) {
            answer.Put("rate", c.Rate)
                .Put("currency", c.ForeignCurrency)
                .Put("foreign_amount", c.ForeignAmount)
                .Put("decimals", std::to_string(c.ForeignDecimals % 10));
        }
        o.Answer = answer.Text();
        // The payment as a void will name it (the fields of the void request).
        const std::string pan = answer.Get("card");
        const P17Layout& voidRequest = *P17RequestLayout('Q');
        TerminalEmulator::Payment p;
        p.Stan = answer.Get("stan");
        p.Last4 = VoidDigits(pan, P17FindField(voidRequest, "card")->Width - 1u, true);
        p.Acquirer = VoidDigits(answer.Get("acquirer"), P17FindField(voidRequest, "acquirer")->Width, false);
        p.Amount = amount;
        p.Auth = answer.Get("auth_code");
        p.Date = now.DdMmYyHhNn;
        o.Commit = [this, p]() {
            std::lock_guard<std::mutex> g(fEmu.fLock);
            fEmu.fJournal.push_back(p);
        };
        lines.push_back(Line("CARTA", pan.substr(pan.size() - 8), w));
        lines.push_back(Line("AUT.", p.Auth, w));
        lines.push_back(Line("STAN", p.Stan, w));
        lines.push_back(Line("IMPORTO", AmountShown(amount), w));
        lines.push_back(Centered("TRANSAZIONE ESEGUITA", w));
    }

    void AnswerVoid(const std::string& t, const Config& c, std::string rc, bool aValid, const LocalNow& now,
                    std::size_t w, std::vector<std::string>& lines, Outcome& o) {
        // The voided payment as the refund reference names it; the card by "C" and its last four digits.
        const std::string card = RequestField(t, "card");
        const std::string stan = RequestField(t, "stan"), last4 = card.empty() ? card : card.substr(1),
                          acquirer = RequestField(t, "acquirer"), amount = RequestField(t, "amount"),
                          auth = RequestField(t, "auth_code");
        std::string error = aValid ? c.VoidErrorText : "RICHIESTA NON VALIDA";
        if (rc == "00") {
            // An approved void leaves the totals: it marks the journal payment its refund reference names,
            // or, when it names none (only without --void-check), takes its own amount off.
            std::lock_guard<std::mutex> g(fEmu.fLock);
            std::size_t found = fEmu.fJournal.size();
            for (std::size_t i = 0; i < fEmu.fJournal.size(); ++i) {
                const auto& p = fEmu.fJournal[i];
                if (!p.Voided && p.Stan == stan && p.Last4 == last4 && p.Acquirer == acquirer &&
                    p.Amount == amount && p.Auth == auth && p.Date == RequestField(t, "date_time")) {
                    found = i;
                    break;
                }
            }
            if (found == fEmu.fJournal.size() && c.VoidCheck) {
                rc = "01";
                error = "OPERAZIONE NON TROVATA";
                o.Why = "void check: it names no payment the terminal holds, or one already voided";
            } else if (found < fEmu.fJournal.size()) {
                // By position: with a fixed STAN several payments share one. Only this thread changes
                // the journal, so the position still holds when the void is booked.
                o.Commit = [this, found]() {
                    std::lock_guard<std::mutex> g2(fEmu.fLock);
                    if (found < fEmu.fJournal.size()) {
                        fEmu.fJournal[found].Voided = true;
                    }
                };
            } else {
                const std::int64_t cents = AllDigits(amount) ? std::stoll(amount) : 0;
                o.Commit = [this, cents]() {
                    std::lock_guard<std::mutex> g2(fEmu.fLock);
                    fEmu.fVoids += cents;
                    ++fEmu.fLooseVoidCount;
                };
                o.Why = "no void check: it names no payment the terminal holds";
            }
        }
        AnswerText answer = Header(c, 'Q', "Q", rc);
        if (rc == "00") {
            answer.Put("card", c.VoidPan.empty() ? "***************" + last4 : c.VoidPan)
                .Put("entry_mode", c.EntryMode)
                .Put("auth_code", auth)
                .Put("date_time", now.Ddd);
        } else {
            answer.Put("error_text", error);
        }
        o.Answer = answer.Put("bank_flag", c.BankFlag ? "1" : "0")
                       .Put("acquirer", acquirer)
                       .Put("stan", stan)
                       .Put("operation", NextCounter(c.OperationNumber))
                       .ZerosTo(kVoidAnswerLength)
                       .Text();
        lines.push_back(Centered("ANNULLAMENTO", w));
        lines.push_back(Line("STAN", stan, w));
        lines.push_back(Line("IMPORTO", AmountShown(amount), w));
        lines.push_back(Centered(rc == "00" ? "TRANSAZIONE ANNULLATA" : error, w));
    }

    void ResetLink() {
        fEmu.Note("resetting the connection");
        fLink.Reset();
        fClosed = fLink.CanClose();
    }

    void SendReceipt(const std::string& aText, const Config& c, Fault aFault) {
        const std::string head = ReceiptHead(c);
        const std::size_t chunk = c.ReceiptChunk == 0 ? 200 : c.ReceiptChunk;
        if (aFault == Fault::ReceiptWrongLrc || aFault == Fault::ReceiptCut) {
            SendDamagedReceipt(aText, c, aFault, head, chunk);
            return;
        }
        if (aFault == Fault::EndlessReceipt) {
            fEmu.Note("fault endless-receipt: receipt frames without ESC");
            for (int i = 0; i < kEndlessReceiptFrames && !fEmu.fStop && !fClosed; ++i) {
                Send(DataFrame(head + std::string(24, 'X')), "receipt text (no end)");
                if (!WaitAck(c.AckWaitMs)) {
                    fEmu.Note("receipt frame not acknowledged after " + std::to_string(i + 1) + " frames");
                    return;
                }
            }
            return;
        }
        for (std::size_t pos = 0; pos < aText.size() && !fClosed; pos += chunk) {
            Send(DataFrame(head + aText.substr(pos, chunk)), "receipt text");
            if (aFault == Fault::ResetAfterReceipt && pos + chunk >= aText.size()) {
                fEmu.Note("fault reset-after-receipt");
                ResetLink();
                Hold();
                return;
            }
            if (!WaitAck(c.AckWaitMs)) {
                fEmu.Note("receipt frame not acknowledged");
                return;
            }
        }
    }

    // The receipt with one frame damaged, or cut after FaultAt bytes; then the line stays quiet (TCP: the
    // connection is closed when it was cut).
    void SendDamagedReceipt(const std::string& aText, const Config& c, Fault aFault, const std::string& aHead,
                            std::size_t aChunk) {
        std::size_t sent = 0;
        std::size_t number = 0;
        for (std::size_t pos = 0; pos < aText.size() && !fClosed; pos += aChunk) {
            std::string frame = DataFrame(aHead + aText.substr(pos, aChunk));
            ++number;
            if (aFault == Fault::ReceiptWrongLrc && number == c.FaultAt) {
                frame.back() = static_cast<char>(frame.back() ^ 0x55);
                Send(frame, "receipt frame with a wrong LRC (fault receipt-wrong-lrc)");
                break;
            }
            if (aFault == Fault::ReceiptCut && sent + frame.size() > c.FaultAt) {
                Send(frame.substr(0, c.FaultAt - sent), "part of a receipt frame (fault receipt-cut)");
                CloseLink();
                break;
            }
            Send(frame, "receipt text");
            sent += frame.size();
            if (!WaitAck(c.AckWaitMs)) {
                fEmu.Note("receipt frame not acknowledged");
                return;
            }
            if (aFault == Fault::ReceiptCut && sent == c.FaultAt) {
                fEmu.Note("fault receipt-cut between two receipt frames");
                CloseLink();
                break;
            }
        }
        Hold();
    }

    void Handle(const std::string& t) {
        const Config c = fEmu.GetConfig();
        const char code = CodeOf(t);
        const std::string problem = RequestProblem(code, t);
        if (!problem.empty()) {
            std::lock_guard<std::mutex> g(fEmu.fLock);
            fEmu.fProblems.push_back(std::string(1, code) + ": " + problem);
        }
        if (!problem.empty()) {
            fEmu.Note("invalid request: " + problem);
        }
        const Fault fault = TakeFault(c, code);
        const FaultMoment when = fault == Fault::None ? FaultMoment::BeforeProcessing : c.FaultWhen;
        std::uint32_t counter = 0;
        {
            std::lock_guard<std::mutex> g(fEmu.fLock);
            counter = fEmu.fStanCounter;
        }
        Outcome outcome;
        if (code == 'E' && problem.empty()) {
            std::lock_guard<std::mutex> g(fEmu.fLock);
            fEmu.fPrintOnEcr = RequestField(t, "print_on_ecr") == "1";
        } else {
            outcome = Answer(code, t, c, problem.empty(), when);
        }
        if (code != 'E') {
            fEmu.Note(OutcomeLine(code, t, outcome.Answer,
                                  WhyOutcome(c, code, problem, fault, when, outcome.Why),
                                  LosesAnswer(fault) && when == FaultMoment::BeforeProcessing));
        }
        if (outcome.Commit) {
            // What the terminal holds once the request is booked, on its screen beside the frames.
            outcome.Commit = [this, booking = std::move(outcome.Commit)]() {
                booking();
                fEmu.Note(HoldingsLine(fEmu.Holdings(), fEmu.JournalTotal()));
            };
        }
        if (LosesAnswer(fault)) {
            // The driver will not see the answer: the terminal has processed the request at once, or not
            // at all, as the fault's moment says.
            fEmu.Note(std::string("fault ") + FaultName(fault) + " " + FaultMomentName(when));
            if (when == FaultMoment::BeforeProcessing) {
                std::lock_guard<std::mutex> g(fEmu.fLock);
                fEmu.fStanCounter = counter;
            } else if (outcome.Commit) {
                outcome.Commit();
            }
            outcome.Commit = nullptr;
        }
        const std::string& answer = outcome.Answer;
        const std::function<void()>& commit = outcome.Commit;
        const std::string answerText = DescribeAnswer(code, answer);
        switch (fault) {
        case Fault::NoAck:
            fEmu.Note("fault no-ack: the request is not acknowledged");
            return;
        case Fault::BadAck:
            Send(std::string{kACK, kETX, static_cast<char>(Lrc(std::string{kACK, kETX}) ^ 1)},
                 "ACK with a wrong LRC (fault bad-ack)");
            return;
        case Fault::DataForAck:
            Send(DataFrame(answer.empty() ? Header(c, code, std::string(1, code), "00").Text() : answer),
                 "data frame in place of the ACK (fault data-for-ack) " + answerText);
            return;
        default:
            Send(AckFrame(), "ACK");
        }
        if (answer.empty()) {
            return;
        }
        for (int i = 0; i < c.StatusFrames; ++i) {
            Send(StatusFrame(ReceiptHead(c) + "ATTENDERE PREGO " + std::to_string(i + 1)), "status");
        }
        std::string frame = DataFrame(answer);
        switch (fault) {
        case Fault::Silence:
            fEmu.Note("fault silence: no answer");
            Hold();
            return;
        case Fault::StatusOnly:
            fEmu.Note("fault status-only: status frames and never an answer");
            for (int i = 0; i < kEndlessStatusFrames && !fEmu.fStop && !fClosed; ++i) {
                Send(StatusFrame(ReceiptHead(c) + "ATTENDERE PREGO"), "status (no answer follows)");
            }
            Hold();
            return;
        case Fault::Reset:
            fEmu.Note("fault reset: no answer");
            ResetLink();
            Hold();
            return;
        case Fault::Garbage:
            Send(Noise(64), "bytes that form no frame (fault garbage)");
            Hold();
            return;
        case Fault::Babble:
            fEmu.Note("fault babble: bytes without end");
            // Until the line closes, the driver sends a new request, or the fault is switched off (on a
            // serial line the driver's hanging up cannot be seen).
            for (std::size_t sent = 0; sent < kBabbleBytes && !fEmu.fStop && !fClosed &&
                                       fEmu.GetConfig().FaultKind == Fault::Babble;
                 sent += kBabbleChunk) {
                if (!fLink.Write(Noise(kBabbleChunk))) {
                    fClosed = true;
                }
                // A new request from the driver ends the babble (a pseudo-terminal never closes).
                Frame f = ReadFrame(5);
                if (f.Type == Kind::Data) {
                    fPending = std::move(f);
                    return;
                }
            }
            Hold();
            return;
        case Fault::Close:
            CloseLink();
            Hold();
            return;
        case Fault::CloseMidFrame:
            Send(frame.substr(0, frame.size() / 2), "half an answer frame (fault close-mid-frame)");
            CloseLink();
            Hold();
            return;
        case Fault::WrongLrc:
            frame.back() = static_cast<char>(frame.back() ^ 0x55);
            Send(frame, "answer with a wrong LRC (fault wrong-lrc) " + answerText);
            WaitAck(c.AckWaitMs);
            return;
        case Fault::Eot:
            frame = DataFrame(answer, kEOT);
            break;
        default:
            break;
        }
        Send(frame, answerText);
        // Booked once sent: a serial driver that purges its line on closing may discard its last ACK.
        if (commit) {
            commit();
        }
        if (fault == Fault::ResetAfterAnswer) {
            fEmu.Note("fault reset-after-answer");
            ResetLink();
            Hold();
            return;
        }
        if (!WaitAck(c.AckWaitMs)) {
            fEmu.Note("answer not acknowledged");
            return;
        }
        bool printOnEcr;
        {
            std::lock_guard<std::mutex> g(fEmu.fLock);
            printOnEcr = fEmu.fPrintOnEcr;
        }
        const bool wantsReceipt = code == 'R' ? RequestField(t, "print_on_ecr") == "1"
                                              : (code == 'X' || code == 'A' || code == 'Q') && printOnEcr;
        if (c.Receipt && wantsReceipt) {
            SendReceipt(outcome.Receipt, c, fault);
        }
    }

    TerminalEmulator& fEmu;
    ByteLink& fLink;
    std::string fBuffer;
    std::size_t fPos = 0;
    bool fClosed = false;
    Frame fPending;
};

TerminalEmulator::TerminalEmulator(Config aConfig) : fConfig(std::move(aConfig)) {}

TerminalEmulator::~TerminalEmulator() {
    Stop();
}

bool TerminalEmulator::StartTcp(std::uint16_t aPort) {
    Stop();
    fListener = TcpListener::Open(aPort, fError);
    if (!fListener) {
        return false;
    }
    fStop = false;
    fThread = std::thread(&TerminalEmulator::Serve, this);
    return true;
}

bool TerminalEmulator::StartPty() {
    Stop();
    fPty = PseudoTerminal::Open(fError);
    if (!fPty) {
        return false;
    }
    fStop = false;
    fThread = std::thread(&TerminalEmulator::Serve, this);
    return true;
}

void TerminalEmulator::Stop() {
    fStop = true;
    if (fThread.joinable()) {
        fThread.join();
    }
}

std::uint16_t TerminalEmulator::Port() const {
    return fListener ? fListener->Port() : 0;
}

const std::string& TerminalEmulator::SlavePath() const {
    static const std::string kNone;
    return fPty ? fPty->SlavePath() : kNone;
}

void TerminalEmulator::Serve() {
    if (fPty) {
        fBusy = true;
        Session(*this, *fPty).Run();
        fBusy = false;
        return;
    }
    while (!fStop) {
        std::unique_ptr<ByteLink> link = fListener->Accept(kSlice);
        if (!link) {
            continue;
        }
        fBusy = true;
        {
            std::lock_guard<std::mutex> g(fLock);
            ++fConnections;
        }
        Note("connection accepted");
        Session(*this, *link).Run();
        link->Close();
        Note("connection ended");
        fBusy = false;
    }
}

Config TerminalEmulator::GetConfig() const {
    std::lock_guard<std::mutex> g(fLock);
    return fConfig;
}

void TerminalEmulator::SetConfig(const Config& aConfig) {
    std::lock_guard<std::mutex> g(fLock);
    fConfig = aConfig;
    fFaultsInjected = 0;
}

void TerminalEmulator::SetObserver(std::function<void(const std::string&)> aObserver) {
    std::lock_guard<std::mutex> g(fLock);
    fObserver = std::move(aObserver);
}

void TerminalEmulator::Record(bool aFromDriver, const std::string& aBytes, const std::string& aText) {
    std::function<void(const std::string&)> observer;
    {
        std::lock_guard<std::mutex> g(fLock);
        fTraffic.push_back({aFromDriver, aBytes, aText});
        observer = fObserver;
    }
    if (observer) {
        observer(std::string(aFromDriver ? "-> " : "<- ") + ShowBytes(aBytes) +
                 (aText.empty() ? "" : "   | " + aText));
    }
}

void TerminalEmulator::Note(const std::string& aText) {
    std::function<void(const std::string&)> observer;
    {
        std::lock_guard<std::mutex> g(fLock);
        observer = fObserver;
    }
    if (observer) {
        observer("** " + aText);
    }
}

std::vector<std::string> TerminalEmulator::Requests() const {
    std::lock_guard<std::mutex> g(fLock);
    return fRequests;
}

std::vector<std::string> TerminalEmulator::RequestFrames() const {
    std::lock_guard<std::mutex> g(fLock);
    return fRequestFrames;
}

std::vector<TrafficEntry> TerminalEmulator::Traffic() const {
    std::lock_guard<std::mutex> g(fLock);
    return fTraffic;
}

std::vector<std::string> TerminalEmulator::Problems() const {
    std::lock_guard<std::mutex> g(fLock);
    return fProblems;
}

void TerminalEmulator::ClearTraffic() {
    std::lock_guard<std::mutex> g(fLock);
    fTraffic.clear();
    fRequests.clear();
    fRequestFrames.clear();
    fProblems.clear();
    fAcks = 0;
}

std::size_t TerminalEmulator::AcksReceived() const {
    std::lock_guard<std::mutex> g(fLock);
    return fAcks;
}

std::size_t TerminalEmulator::Connections() const {
    std::lock_guard<std::mutex> g(fLock);
    return fConnections;
}

std::int64_t TerminalEmulator::JournalTotal() const {
    std::lock_guard<std::mutex> g(fLock);
    std::int64_t total = -fRefunds - fVoids;
    for (const auto& p : fJournal) {
        if (!p.Voided) {
            total += std::stoll(p.Amount);
        }
    }
    return total;
}

TerminalEmulator::Held TerminalEmulator::Holdings() const {
    std::lock_guard<std::mutex> g(fLock);
    Held held;
    held.Payments = fJournal.size();
    held.Refunds = fRefundCount;
    held.Voids = fLooseVoidCount;
    for (const auto& p : fJournal) {
        held.Voids += p.Voided ? 1 : 0;
    }
    return held;
}

std::string TerminalEmulator::LastReceipt() const {
    std::lock_guard<std::mutex> g(fLock);
    return fLastReceipt;
}

std::size_t TerminalEmulator::FaultsInjected() const {
    std::lock_guard<std::mutex> g(fLock);
    return fFaultsInjected;
}

namespace {
// Polls aDone every 5 ms for at most aTimeoutMs; true once it holds.
template <typename TDone> bool PollUntil(int aTimeoutMs, TDone aDone) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(aTimeoutMs);
    while (!aDone()) {
        if (Clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}
} // namespace

bool TerminalEmulator::WaitIdle(int aTimeoutMs) const {
    return PollUntil(aTimeoutMs, [this] { return !fBusy || fPty; });
}

bool TerminalEmulator::WaitQuiet(int aTimeoutMs) const {
    return PollUntil(aTimeoutMs, [this] { return !fBusy || fListening; });
}

} // namespace p17emu
