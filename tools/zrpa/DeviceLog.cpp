#include "DeviceLog.h"

#include <cctype>

#include "PlainWords.h"
#include "drivers/P17CardData.h"
#include "drivers/P17Messages.h"

namespace {
constexpr char kSTX = 0x02, kETX = 0x03, kEOT = 0x04, kACK = 0x06, kSOH = 0x01;

// The library's own words about its check of the terminal, masked as any text is, except the journal's
// operation ids ("(operation 20261210223520205-C912B646-1)"): their seventeen digits of date and time
// would read as a card number, and the technician needs them to find the journal record.
std::string MaskKeepingOperationIds(const std::string& aText) {
    static const std::string kMark = "(operation ";
    std::string out;
    std::size_t from = 0;
    for (std::size_t at = aText.find(kMark); at != std::string::npos; at = aText.find(kMark, from)) {
        const std::size_t id = at + kMark.size();
        std::size_t end = id;
        while (end < aText.size() &&
               (std::isalnum(static_cast<unsigned char>(aText[end])) || aText[end] == '-')) {
            ++end;
        }
        // Only the id's own shape is kept: digits, a dash, the process's hex tag, a dash, a count.
        const std::string candidate = aText.substr(id, end - id);
        const std::size_t dash = candidate.find('-');
        const bool isId = end < aText.size() && aText[end] == ')' && dash == 17 &&
                          candidate.find_first_not_of("0123456789") == 17 &&
                          candidate.find('-', dash + 1) != std::string::npos;
        if (!isId) {
            out += MaskCardData(aText.substr(from, id - from));
            from = id;
            continue;
        }
        out += MaskCardData(aText.substr(from, id - from)) + candidate;
        from = end;
    }
    return out + MaskCardData(aText.substr(from));
}

enum class FrameType : std::uint8_t { Data, Ack, Soh };
struct Frame {
    FrameType Type = FrameType::Data;
    std::string Bytes; // the whole frame
    std::string Text;  // between the first character and the terminator
    bool LrcOk = true;
};

char Lrc(std::string_view aBytes) {
    char lrc = 0x7F;
    for (const char c : aBytes) {
        lrc = static_cast<char>(lrc ^ c);
    }
    return lrc;
}

// Takes the next complete frame off the front of aBuffer; bytes before it go to aNoise. False when no
// complete frame is there yet (what is left waits for more bytes).
bool NextFrame(std::string& aBuffer, Frame& aFrame, std::string& aNoise) {
    const std::size_t start = aBuffer.find_first_of(std::string_view("\x02\x06\x01", 3));
    if (start == std::string::npos) {
        aNoise += aBuffer;
        aBuffer.clear();
        return false;
    }
    aNoise += aBuffer.substr(0, start);
    aBuffer.erase(0, start);
    const std::size_t end = aBuffer.find_first_of(std::string_view("\x03\x04", 2), 1);
    if (end == std::string::npos) {
        return false;
    }
    const bool soh = aBuffer[0] == kSOH;
    const std::size_t length = end + (soh ? 1 : 2);
    if (aBuffer.size() < length) {
        return false;
    }
    aFrame.Type = soh ? FrameType::Soh : aBuffer[0] == kACK ? FrameType::Ack : FrameType::Data;
    aFrame.Bytes = aBuffer.substr(0, length);
    aFrame.Text = aBuffer.substr(1, end - 1);
    aFrame.LrcOk = soh || Lrc(std::string_view(aFrame.Bytes).substr(0, end + 1)) == aFrame.Bytes[end + 1];
    if (aFrame.Type == FrameType::Ack) {
        aFrame.LrcOk = aFrame.LrcOk && aFrame.Bytes == std::string("\x06\x03\x7A", 3);
    }
    aBuffer.erase(0, length);
    return true;
}

std::string Trim(std::string_view aText) {
    const std::size_t first = aText.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return std::string();
    }
    return std::string(aText.substr(first, aText.find_last_not_of(' ') - first + 1));
}

// Cents as "12.34", with a leading "-" as "-0.80" (a total below zero); anything else as it is.
std::string CentsText(std::string_view aDigits) {
    const bool negative = aDigits.starts_with('-');
    const std::string_view digits = aDigits.substr(negative ? 1 : 0);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos) {
        return std::string(aDigits);
    }
    std::string d(digits);
    d.erase(0, std::min(d.find_first_not_of('0'), d.size()));
    while (d.size() < 3) {
        d.insert(0, 1, '0');
    }
    return (negative ? "-" : "") + d.substr(0, d.size() - 2) + "." + d.substr(d.size() - 2);
}

// A cash register's decimal amount with two decimals ("0.1" as "0.10"); anything else as it is.
std::string TwoDecimals(const std::string& aAmount) {
    const std::size_t point = aAmount.find('.');
    const std::size_t start = aAmount.starts_with('-') ? 1 : 0;
    const std::string whole = aAmount.substr(start, point == std::string::npos ? point : point - start);
    const std::string decimals = point == std::string::npos ? "" : aAmount.substr(point + 1);
    const bool digits = !whole.empty() && whole.find_first_not_of("0123456789") == std::string::npos &&
                        decimals.find_first_not_of("0123456789") == std::string::npos;
    if (!digits || decimals.size() > 2) {
        return aAmount;
    }
    return aAmount.substr(0, start) + whole + "." + decimals + std::string(2 - decimals.size(), '0');
}

// The receipt characters that choose a line width: they print nothing.
bool IsWidthSelector(char aChar) {
    return aChar == '^' || aChar == '{' || aChar == '|' || aChar == '}' || aChar == '~' || aChar == 0x7F;
}

LogFields DecodeFields(const P17Layout& aLayout, std::string_view aText) {
    LogFields out;
    for (const auto& f : P17Decode(aLayout, aText)) {
        if (f.Field->Kind == P17FieldKind::Literal ||
            (!aLayout.FromTerminal && f.Field->Kind == P17FieldKind::Code)) {
            continue;
        }
        std::string value = f.Field->Kind == P17FieldKind::Cents && f.Complete ? CentsText(f.Value)
                            : f.Field->Kind == P17FieldKind::Text              ? Trim(f.Value)
                                                                               : f.Value;
        if (!f.Complete) {
            value += " (cut short)";
        }
        out.emplace_back(std::string(f.Field->Name), ShowBytes(value));
    }
    return out;
}

std::string FieldOf(const LogFields& aFields, std::string_view aName) {
    for (const auto& [name, value] : aFields) {
        if (name == aName) {
            return value;
        }
    }
    return std::string();
}

void SetField(LogFields& aFields, const std::string& aName, const std::string& aValue) {
    for (auto& [name, value] : aFields) {
        if (name == aName) {
            value = aValue;
            return;
        }
    }
    aFields.emplace_back(aName, aValue);
}

// "A | k=v | k=v": the first part and the pairs; a part without a known key continues the previous
// value (an error text may hold " | " itself).
LogFields SplitPipeLine(std::string_view aText, std::string& aFirst) {
    LogFields fields;
    std::size_t pos = 0;
    bool first = true;
    while (pos <= aText.size()) {
        std::size_t bar = aText.find(" | ", pos);
        if (bar == std::string_view::npos) {
            bar = aText.size();
        }
        const std::string_view part = aText.substr(pos, bar - pos);
        const std::size_t eq = part.find('=');
        const bool keyed =
            eq != std::string_view::npos && eq > 0 &&
            part.substr(0, eq).find_first_not_of("abcdefghijklmnopqrstuvwxyz_") == std::string_view::npos;
        if (first) {
            aFirst = std::string(part);
            first = false;
        } else if (keyed || fields.empty()) {
            fields.emplace_back(std::string(part.substr(0, keyed ? eq : 0)),
                                std::string(keyed ? part.substr(eq + 1) : part));
        } else {
            fields.back().second += " | ";
            fields.back().second += part;
        }
        pos = bar + 3;
    }
    return fields;
}

bool IsCardRequest(char aCode) {
    return aCode == 'X' || aCode == 'A' || aCode == 'Q';
}

const char* OperationOfCode(char aCode) {
    switch (aCode) {
    case 'X':
        return "PAY";
    case 'A':
        return "REFUND";
    case 'Q':
        return "VOID";
    case 'R':
        return "REPRINT";
    case 'C':
        return "DAY CLOSE";
    case 'T':
        return "TOTALS";
    }
    return "";
}

class Reader {
public:
    explicit Reader(const std::string& aFile) : fFile(aFile) {}

    void Line(const DeviceLogLine& aLine) {
        const std::string& t = aLine.Text;
        if (t.find("*** START ***") != std::string::npos) {
            Finish();
            return;
        }
        if (const char* banner = BannerName(t)) {
            Finish();
            Begin(aLine, banner);
            return;
        }
        if (fOp == nullptr) {
            if (!t.starts_with("Write:") && !t.starts_with("Read") && !t.starts_with("Request:")) {
                return;
            }
            // A log cut before the banner of its first operation.
            Begin(aLine, "");
        }
        fOp->End = aLine.Stamp;
        if (t.starts_with("Request: ")) {
            std::string action;
            fOp->Request = SplitPipeLine(std::string_view(t).substr(9), action);
            fOp->Request.insert(fOp->Request.begin(), {"action", action});
            fRequestLine = true;
        } else if (t.starts_with("Result: ")) {
            ResultLine(std::string_view(t).substr(8));
        } else if (t.starts_with("kIOHandler_")) {
            fOp->Connection = ChannelName(t);
        } else if (t.starts_with("Host=") || t.starts_with("Port=") || t.starts_with("SerialPort=") ||
                   t.starts_with("Speed=")) {
            fOp->Connection += " " + t;
        } else if (t.starts_with("Connect Timeout:") || t.starts_with("Connect Error:")) {
            fConnectFailed = true;
            Event(aLine, "error", "could not connect: " + ShowBytes(WithoutHexDump(t)));
        } else if (t.starts_with("Write:")) {
            Written(aLine, MessageBytes(std::string_view(t).substr(6)));
        } else if (t.starts_with("Read Timeout:")) {
            Received(aLine, MessageBytes(std::string_view(t).substr(13)), true);
        } else if (t.starts_with("Read:")) {
            Received(aLine, MessageBytes(std::string_view(t).substr(5)), false);
        } else if (t.starts_with("Set Read Timeout to ")) {
            const long ms = std::strtol(t.c_str() + 20, nullptr, 10);
            if (ms >= 30000 && !fWaitShown) {
                fWaitShown = true; // the driver sets it again before each of its reads
                Event(aLine, "wait", "waiting up to " + std::to_string(ms / 1000) + " s for the answer");
            }
        } else if (t.starts_with("Disconnect:")) {
            Event(aLine, "disconnect", ShowBytes(WithoutHexDump(t).substr(11)));
        } else if (t.starts_with("Outcome recovered: ") || t.starts_with("The journal ") ||
                   t.starts_with("The outcome stays open") || t.starts_with("The check could not")) {
            // What the library's check of the terminal found, in its own words.
            fCheck = false;
            Event(aLine, "check", ShowBytes(MaskKeepingOperationIds(t)));
        } else if (aLine.Error) {
            fLastError = ShowBytes(MaskCardData(WithoutHexDump(t)));
            if (t.find("Unexpected error") != std::string::npos) {
                ++fEmptyReads; // the read ended without data
            }
            Event(aLine, "error", fLastError);
        }
    }

    std::vector<LogOperation> Done() {
        Finish();
        return std::move(fOps);
    }

private:
    static const char* BannerName(const std::string& aText) {
        if (!aText.starts_with("-----")) {
            return nullptr;
        }
        const std::size_t dashes = aText.find_first_not_of('-');
        if (dashes == std::string::npos) {
            return nullptr;
        }
        const std::string_view rest = std::string_view(aText).substr(dashes);
        static constexpr std::pair<std::string_view, const char*> kBanners[] = {{" Pay", "PAY"},
                                                                                {" Reprint", "REPRINT"},
                                                                                {" VerifyTran", "VERIFY"},
                                                                                {" DayClose", "DAY CLOSE"},
                                                                                {" GetTotals", "TOTALS"}};
        for (const auto& [text, name] : kBanners) {
            if (rest == text) {
                return name;
            }
        }
        return nullptr;
    }

    void Begin(const DeviceLogLine& aLine, const char* aName) {
        fOps.emplace_back();
        fOp = &fOps.back();
        fOp->File = fFile;
        fOp->Line = aLine.Number;
        fOp->Start = fOp->End = aLine.Stamp;
        fOp->Name = aName;
        fOut.clear();
        fIn.clear();
        fRequest = 0;
        fAwaitingAck = 0;
        fPrintAcked = fRequestAcked = fAnswered = fBadAnswer = fConnectFailed = false;
        fDataForAck = fBadAck = fWaitShown = fRequestLine = fCheck = false;
        fCheckReceipt.clear();
        fEmptyReads = 0;
        fLastError.clear();
        fPrintFlag.clear();
        fReceipt.clear();
        fRequestFields.clear();
        fResultFields.clear();
    }

    void Event(const DeviceLogLine& aLine, std::string aKind, std::string aText, LogFields aFields = {}) {
        if (!fOp->Events.empty()) {
            LogEvent& last = fOp->Events.back();
            if (last.Kind == aKind && last.Text == aText && last.Fields == aFields) {
                ++last.Count;
                return;
            }
        }
        fOp->Events.push_back({aLine.Stamp, std::move(aKind), std::move(aText), std::move(aFields)});
    }

    void Written(const DeviceLogLine& aLine, const std::string& aBytes) {
        fOut += aBytes;
        Frame f;
        std::string noise;
        while (NextFrame(fOut, f, noise)) {
            if (f.Type == FrameType::Ack) {
                Event(aLine, "ack sent", "ACK");
                continue;
            }
            const char code = P17MessageCode(f.Text);
            const P17Layout* layout = P17RequestLayout(code);
            if (layout == nullptr) {
                Event(aLine, "sent", "unknown message " + ShowBytes(f.Text));
                continue;
            }
            LogFields fields = DecodeFields(*layout, f.Text);
            // Inside a payment, refund, void or day close a reprint or totals request is the library's
            // own check of the terminal (the first time, or to settle an earlier lost answer): it tells
            // nothing of the operation's own request and answer.
            fCheck = (code == 'R' || code == 'T') && (fOp->Name == "PAY" || fOp->Name == "DAY CLOSE");
            if (fCheck) {
                Event(aLine, "check",
                      std::string("the library reads the terminal's ") +
                          (code == 'R' ? "last receipt (reprint to the cash register)" : "period total"),
                      std::move(fields));
                continue;
            }
            if (code == 'E') {
                fPrintFlag = FieldOf(fields, "print_on_ecr");
            } else {
                fRequest = code;
                fRequestFields = fields;
                if (code == 'R') {
                    fPrintFlag = FieldOf(fields, "print_on_ecr");
                }
            }
            fAwaitingAck = code;
            fWaitShown = false;
            Event(aLine, "sent", std::string(layout->Name) + " (" + code + ")", std::move(fields));
        }
    }

    void Received(const DeviceLogLine& aLine, const std::string& aBytes, bool aTimedOut) {
        if (aBytes.empty()) {
            if (aTimedOut) {
                ++fEmptyReads;
                Event(aLine, "time-out", "no data (read time-out)");
            }
            return;
        }
        fIn += aBytes;
        Frame f;
        std::string noise;
        while (NextFrame(fIn, f, noise)) {
            Incoming(aLine, f);
        }
        if (!noise.empty()) {
            Event(aLine, "note", "bytes outside a frame: " + ShowBytes(MaskCardData(noise)));
        }
    }

    void Incoming(const DeviceLogLine& aLine, const Frame& aFrame) {
        if (fCheck) {
            if (aFrame.Type != FrameType::Ack) {
                const std::string text = P17MaskTerminalMessage(aFrame.Text, false, 'R', true, fCheckReceipt);
                fCheckReceipt += aFrame.Text;
                Event(aLine, "check", "answer to the check", {{"text", ShowBytes(text)}});
            }
            return;
        }
        if (aFrame.Type == FrameType::Soh) {
            Event(aLine, "status", "status frame " + ShowBytes(MaskCardData(aFrame.Text)));
            return;
        }
        if (aFrame.Type == FrameType::Ack) {
            if (!aFrame.LrcOk) {
                fBadAck = fAwaitingAck != 0;
                Event(aLine, "error",
                      "acknowledgement with a wrong check character: " + ShowFrame(aFrame.Bytes));
            } else if (fAwaitingAck == 'E') {
                fPrintAcked = true;
            } else if (fAwaitingAck != 0) {
                fRequestAcked = true;
            }
            fAwaitingAck = 0;
            if (aFrame.LrcOk) {
                Event(aLine, "ack received", "ACK");
            }
            return;
        }
        const std::string check = aFrame.LrcOk ? "" : " with a wrong check character (not accepted)";
        // Card data is shown masked, also from the log of a library that did not mask it yet.
        const bool receipt = fAwaitingAck == 0 && fAnswered;
        const std::string text = P17MaskTerminalMessage(aFrame.Text, false, fRequest, receipt, fReceipt);
        if (fAwaitingAck != 0) {
            fDataForAck = true;
            fAwaitingAck = 0;
            Event(aLine, "error", "a data frame came instead of the acknowledgement" + check,
                  {{"text", ShowBytes(text)}});
        } else if (fRequestAcked && !fAnswered) {
            const P17Layout* layout = P17AnswerLayout(fRequest);
            if (!aFrame.LrcOk) {
                fBadAnswer = true;
                Event(aLine, "error", "answer" + check, {{"text", ShowBytes(text)}});
                return;
            }
            fAnswered = true;
            LogFields fields = layout ? DecodeFields(*layout, text) : LogFields{};
            fOp->Answer = fields;
            Event(aLine, "received", layout ? std::string(layout->Name) : "answer", std::move(fields));
        } else if (fAnswered) {
            // Receipt text carries its own spaces: the field as it is, not trimmed.
            const P17Field* field = P17FindField(P17ReceiptLayout(), "text");
            fReceipt += P17FieldText(aFrame.Text, *field);
            std::string shown = P17FieldText(text, *field);
            std::erase_if(shown, IsWidthSelector);
            Event(aLine, "received", "receipt text" + check, {{"text", ShowBytes(shown)}});
        } else {
            Event(aLine, "received", "unexpected data frame" + check, {{"text", ShowBytes(text)}});
        }
    }

    void ResultLine(std::string_view aText) {
        std::string outcome;
        const LogFields fields = SplitPipeLine(aText, outcome);
        fOp->HasResultLine = true;
        // "not performed": the terminal did not take it (a cancel before sending, or a recovery's verdict).
        // "totals" and "day closed" are the successes of what the terminal only reports or does.
        const bool done = outcome == "approved" || outcome == "totals" || outcome == "day closed";
        fOp->Outcome = done                                                ? LogOutcome::Approved
                       : outcome == "declined"                             ? LogOutcome::Declined
                       : outcome == "failed" || outcome == "not performed" ? LogOutcome::Failed
                                                                           : LogOutcome::Unknown;
        fOp->Reason = MaskCardData(FieldOf(fields, "error"));
        const std::string note = MaskCardData(FieldOf(fields, "note"));
        if (!note.empty()) {
            fOp->Reason += (fOp->Reason.empty() ? "" : "; ") + note;
        }
        fResultFields = fields;
    }

    void Finish() {
        if (fOp == nullptr) {
            return;
        }
        LogOperation& op = *fOp;
        fOp = nullptr;
        for (const auto& line : P17ReceiptLines(MaskCardData(fReceipt))) {
            op.Receipt.push_back(ShowBytes(line));
        }
        const std::int64_t start = StampMilliseconds(op.Start), end = StampMilliseconds(op.End);
        op.ElapsedMs = start >= 0 && end >= start ? end - start : 0;
        if (const char* byCode = OperationOfCode(fRequest);
            *byCode != '\0' && (op.Name.empty() || op.Name == "PAY")) {
            op.Name = byCode;
        }
        const std::string action = FieldOf(op.Request, "action");
        if (!action.empty()) {
            op.Name = action;
        }
        if (op.Name.empty()) {
            op.Name = "(unknown)";
        }
        if (FieldOf(op.Request, "action").empty()) {
            RequestFromFrames(op);
        }
        for (auto& [name, value] : op.Request) {
            value = name == "amount" ? TwoDecimals(value) : value;
        }
        if (op.HasResultLine) {
            const std::string elapsed = FieldOf(fResultFields, "elapsed");
            if (!elapsed.empty()) {
                op.ElapsedMs = std::strtoll(elapsed.c_str(), nullptr, 10);
            }
            for (const char* key : {"stan", "auth", "card", "amount"}) {
                if (FieldOf(op.Answer, key == std::string("auth") ? "auth_code" : key).empty() &&
                    !FieldOf(fResultFields, key).empty()) {
                    const std::string value = FieldOf(fResultFields, key);
                    SetField(op.Answer, key == std::string("auth") ? "auth_code" : key,
                             key == std::string("amount") ? TwoDecimals(value) : value);
                }
            }
            fResultFields.clear();
            return;
        }
        Judge(op);
    }

    void RequestFromFrames(LogOperation& aOp) const {
        if (fRequest != 0) {
            aOp.Request.emplace_back("action", aOp.Name);
        }
        const std::string amount = FieldOf(fRequestFields, "amount");
        if (!amount.empty() && fRequest != 'R') {
            aOp.Request.emplace_back("amount", amount);
        }
        if (!fPrintFlag.empty()) {
            aOp.Request.emplace_back("print", fPrintFlag == "1" ? "ECR" : "EFT");
        }
        std::string till = FieldOf(fRequestFields, "ecr");
        const std::size_t digit = till.find_first_not_of('0');
        till = digit != std::string::npos ? till.substr(digit) : till.empty() ? till : std::string("0");
        if (!till.empty()) {
            aOp.Request.emplace_back("till", till);
        }
        const std::string reference = FieldOf(fRequestFields, "reference");
        if (!reference.empty()) {
            aOp.Request.emplace_back("reference", reference);
        }
    }

    void Judge(LogOperation& aOp) const {
        auto set = [&](LogOutcome aOutcome, std::string aReason) {
            aOp.Outcome = aOutcome;
            aOp.Reason = std::move(aReason);
        };
        const bool card = IsCardRequest(fRequest);
        if (aOp.Name == "VERIFY") {
            return set(LogOutcome::Failed, "verification is not supported by this driver");
        }
        if (fConnectFailed) {
            return set(LogOutcome::Failed, "could not connect to the terminal");
        }
        if (RecordEndsBeforeResult(aOp)) {
            return set(LogOutcome::Unknown, kRecordEnds);
        }
        if (fRequest == 0) {
            if (!fPrintFlag.empty() && !fPrintAcked) {
                return set(LogOutcome::Failed, "the terminal did not acknowledge the print location");
            }
            return set(LogOutcome::Failed, fLastError.empty() ? "nothing was sent to the terminal"
                                                              : "refused before sending: " + fLastError);
        }
        if (!fRequestAcked) {
            return set(LogOutcome::Failed, std::string("the terminal did not acknowledge the request") +
                                               (fDataForAck ? " (it sent data instead)"
                                                : fBadAck   ? " (wrong check character)"
                                                            : ""));
        }
        if (fRequest == 'R') {
            return set(LogOutcome::Approved, "");
        }
        if (fAnswered) {
            const std::string result = FieldOf(aOp.Answer, "result");
            if (result == "00") {
                return set(LogOutcome::Approved, "result code 00");
            }
            std::string reason = "result code " + (result.empty() ? std::string("missing") : result);
            const std::string error = FieldOf(aOp.Answer, "error_text");
            if (!error.empty()) {
                reason += ": " + error;
            }
            return set(card ? LogOutcome::Declined : LogOutcome::Failed, reason);
        }
        std::string why = fBadAnswer ? "the answer came with a wrong check character"
                          : !fLastError.empty()
                              ? std::to_string(fEmptyReads) + " reads without data, last: " + fLastError
                          : fEmptyReads > 0 ? std::to_string(fEmptyReads) + " reads without data"
                                            : "the log ends";
        if (card) {
            return set(LogOutcome::Unknown, "the terminal took the request and no answer came (" + why + ")");
        }
        set(LogOutcome::Failed, "no answer from the terminal (" + why + ")");
    }

    // A money operation whose log has the host's request but not the result the driver writes at the end
    // of every operation: the lines after some point never reached the file (the host was killed; lines
    // reach the file in order, so what is there is a beginning). Only a line that ends the operation
    // before its request could go out settles it; anything else may have sent the request.
    bool RecordEndsBeforeResult(const LogOperation& aOp) const {
        const std::string action = FieldOf(aOp.Request, "action");
        // Logs written before the driver's Request and Result lines are read from their frames alone.
        if (!fRequestLine || (action != "PAY" && action != "REFUND" && action != "VOID")) {
            return false;
        }
        const bool refusedBeforeSending =
            fRequest == 0 && fPrintFlag.empty() && !fLastError.empty() &&
            (fLastError.starts_with("Amount ") || fLastError.starts_with("Reference [") ||
             fLastError.starts_with("Invalid Refund Reference"));
        const bool notAcknowledged = fLastError.find("did not acknowledge the") != std::string::npos;
        return !refusedBeforeSending && !notAcknowledged;
    }

    std::string fFile;
    std::vector<LogOperation> fOps;
    LogOperation* fOp = nullptr;
    std::string fOut, fIn;
    char fRequest = 0;
    char fAwaitingAck = 0;
    bool fPrintAcked = false, fRequestAcked = false, fAnswered = false, fBadAnswer = false;
    bool fConnectFailed = false, fDataForAck = false, fBadAck = false, fWaitShown = false;
    bool fRequestLine = false; // the driver's "Request:" line is there
    bool fCheck = false;       // the frames are those of the library's check of the terminal
    std::string fCheckReceipt;
    int fEmptyReads = 0;
    std::string fLastError, fPrintFlag, fReceipt;
    LogFields fRequestFields, fResultFields;
};
} // namespace

const char* LogOutcomeName(LogOutcome aOutcome) {
    switch (aOutcome) {
    case LogOutcome::Approved:
        return "approved";
    case LogOutcome::Declined:
        return "declined";
    case LogOutcome::Failed:
        return "failed";
    case LogOutcome::Unknown:
        return "outcome unknown";
    }
    return "failed";
}

std::vector<LogOperation> ReadDeviceLog(std::string_view aContent, const std::string& aFile) {
    Reader reader(aFile);
    for (const auto& line : SplitLogLines(aContent)) {
        reader.Line(line);
    }
    return reader.Done();
}
