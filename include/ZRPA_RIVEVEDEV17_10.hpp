/*
 * Payment-terminal driver: a header-only C++17 wrapper of ZRPA_RIVEVEDEV17_10.h for hosts that link the
 * library (import library on Windows, -lZRPA_RIVEVEDEV17_10 or the CMake target on Linux; Windows hosts
 * also link oleaut32).
 *
 *   zrpa::Terminal terminal(zrpa::Connection::Tcp("127.0.0.1", 5017));
 *   terminal.Open();                                        // optional: else each command has its own device
 *   zrpa::Payment payment = terminal.Pay("12.34");          // throws zrpa::Error when the command fails
 *   terminal.Void(payment.refundReference);
 *
 * Texts are UTF-8 std::strings on this side; every BSTR the library returns is owned by a zrpa::BStr and
 * freed with SysFreeString. Amounts are decimal texts ("12.34"), never floating point. zrpa::Call runs any
 * export and hands back its code, document and error text without throwing.
 */
#ifndef ZRPA_RIVEVEDEV17_10_HPP
#define ZRPA_RIVEVEDEV17_10_HPP

#include <cstddef>
#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "ZRPA_RIVEVEDEV17_10.h"

namespace zrpa {

/* The code unit of a BSTR: wchar_t on Windows, char16_t elsewhere; both are UTF-16. */
using Unit = std::remove_pointer_t<BSTR>;

/* A BSTR owned by this object, freed with SysFreeString (the library's own on Linux). Move-only. */
class BStr {
public:
    BStr() noexcept = default;
    /* Takes ownership of aText (null allowed). */
    explicit BStr(BSTR aText) noexcept : fText(aText) {}
    BStr(BStr&& aOther) noexcept : fText(std::exchange(aOther.fText, nullptr)) {}
    BStr& operator=(BStr&& aOther) noexcept {
        if (this != &aOther) {
            Reset(std::exchange(aOther.fText, nullptr));
        }
        return *this;
    }
    BStr(const BStr&) = delete;
    BStr& operator=(const BStr&) = delete;
    ~BStr() { Reset(nullptr); }

    /* A new BSTR holding the UTF-8 text aText. Throws std::invalid_argument naming the byte offset of
     * malformed UTF-8, std::bad_alloc when the library cannot allocate. */
    static BStr FromUtf8(std::string_view aText) {
        const std::basic_string<Unit> units = ToUtf16(aText);
        BStr text(SysAllocStringLen(units.data(), static_cast<std::uint32_t>(units.size())));
        if (text.fText == nullptr) {
            throw std::bad_alloc();
        }
        return text;
    }

    /* The text as UTF-8 ("" for null); a lone surrogate becomes U+FFFD. */
    std::string Utf8() const {
        std::string out;
        const std::uint32_t n = fText != nullptr ? SysStringLen(fText) : 0;
        for (std::uint32_t i = 0; i < n; ++i) {
            std::uint32_t c = static_cast<std::uint16_t>(fText[i]);
            if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n) {
                const std::uint32_t low = static_cast<std::uint16_t>(fText[i + 1]);
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                    ++i;
                }
            }
            if (c >= 0xD800 && c <= 0xDFFF) {
                c = 0xFFFD;
            }
            AppendUtf8(out, c);
        }
        return out;
    }

    BSTR Get() const noexcept { return fText; }
    /* The address to pass as an export's output: frees what this held first, since the library sets
     * outputs to null without freeing them. */
    BSTR* Out() noexcept {
        Reset(nullptr);
        return &fText;
    }

private:
    void Reset(BSTR aText) noexcept {
        if (fText != nullptr) {
            SysFreeString(fText);
        }
        fText = aText;
    }

    static void AppendUtf8(std::string& aOut, std::uint32_t aCode) {
        if (aCode < 0x80) {
            aOut += static_cast<char>(aCode);
        } else if (aCode < 0x800) {
            aOut += static_cast<char>(0xC0 | (aCode >> 6));
            aOut += static_cast<char>(0x80 | (aCode & 0x3F));
        } else if (aCode < 0x10000) {
            aOut += static_cast<char>(0xE0 | (aCode >> 12));
            aOut += static_cast<char>(0x80 | ((aCode >> 6) & 0x3F));
            aOut += static_cast<char>(0x80 | (aCode & 0x3F));
        } else {
            aOut += static_cast<char>(0xF0 | (aCode >> 18));
            aOut += static_cast<char>(0x80 | ((aCode >> 12) & 0x3F));
            aOut += static_cast<char>(0x80 | ((aCode >> 6) & 0x3F));
            aOut += static_cast<char>(0x80 | (aCode & 0x3F));
        }
    }

    static std::basic_string<Unit> ToUtf16(std::string_view aText) {
        std::basic_string<Unit> units;
        units.reserve(aText.size());
        for (std::size_t i = 0; i < aText.size();) {
            const auto lead = static_cast<unsigned char>(aText[i]);
            const std::size_t length = lead < 0x80           ? 1
                                       : (lead >> 5) == 0x6  ? 2
                                       : (lead >> 4) == 0xE  ? 3
                                       : (lead >> 3) == 0x1E ? 4
                                                             : 0;
            std::uint32_t c = length == 1   ? lead
                              : length == 2 ? lead & 0x1F
                              : length == 3 ? lead & 0x0F
                                            : lead & 0x07;
            bool valid = length != 0 && i + length <= aText.size();
            for (std::size_t k = 1; valid && k < length; ++k) {
                const auto next = static_cast<unsigned char>(aText[i + k]);
                valid = (next & 0xC0) == 0x80;
                c = (c << 6) | (next & 0x3F);
            }
            static constexpr std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
            if (!valid || c < kSmallest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
                throw std::invalid_argument("the text is not UTF-8 at byte " + std::to_string(i));
            }
            if (c >= 0x10000) {
                units += static_cast<Unit>(0xD800 + ((c - 0x10000) >> 10));
                units += static_cast<Unit>(0xDC00 + ((c - 0x10000) & 0x3FF));
            } else {
                units += static_cast<Unit>(c);
            }
            i += length;
        }
        return units;
    }

    BSTR fText = nullptr;
};

/* The exports that take a request document, by name (PAY, ...). */
struct Command {
    const char* name;
    ZRPA_PFN_COMMAND function;
};
inline const Command kPay{"PAY", &PAY};
inline const Command kReprint{"REPRINT", &REPRINT};
inline const Command kOpen{"OPEN", &OPEN};
inline const Command kClose{"CLOSE", &CLOSE};
inline const Command kGetStatus{"GETSTATUS", &GETSTATUS};
inline const Command kDayClose{"DAYCLOSE", &DAYCLOSE};
inline const Command kGetTotals{"GETTOTALS", &GETTOTALS};
inline const Command kVerifyTran{"VERIFYTRAN", &VERIFYTRAN};
inline const Command kCancel{"CANCEL", &CANCEL};

/* What one export returned: its code (0 success, -1 failure), the result document and the error text. */
struct Outcome {
    int code = -1;
    std::string document;
    std::string error;
    bool Succeeded() const noexcept { return code == 0; }
};

/* Runs aCommand with the UTF-8 request aRequest; frees every BSTR. Throws only for a request that is not
 * UTF-8 or when out of memory: a failed command is an Outcome with code -1. */
inline Outcome Call(const Command& aCommand, std::string_view aRequest) {
    const BStr request = BStr::FromUtf8(aRequest);
    BStr output;
    BStr error;
    Outcome outcome;
    outcome.code = aCommand.function(request.Get(), output.Out(), error.Out());
    outcome.document = output.Utf8();
    outcome.error = error.Utf8();
    return outcome;
}

/* The unescaped text of the first element aName of a flat result document; "" when absent. */
inline std::string Field(std::string_view aDocument, std::string_view aName) {
    const std::string open = "<" + std::string(aName) + ">";
    const std::string close = "</" + std::string(aName) + ">";
    const std::size_t start = aDocument.find(open);
    const std::size_t end =
        start == std::string_view::npos ? start : aDocument.find(close, start + open.size());
    if (end == std::string_view::npos) {
        return {};
    }
    const std::string_view raw = aDocument.substr(start + open.size(), end - start - open.size());
    static constexpr std::pair<std::string_view, char> kEntities[] = {
        {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}, {"&amp;", '&'}};
    std::string text;
    for (std::size_t i = 0; i < raw.size();) {
        bool replaced = false;
        for (const auto& [entity, character] : kEntities) {
            if (raw.compare(i, entity.size(), entity) == 0) {
                text += character;
                i += entity.size();
                replaced = true;
                break;
            }
        }
        if (!replaced) {
            text += raw[i++];
        }
    }
    return text;
}

/* aText with the characters XML gives meaning to escaped, for an element's content. */
inline std::string Escape(std::string_view aText) {
    std::string out;
    for (const char c : aText) {
        switch (c) {
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

/* A command that failed: what() is "<COMMAND> failed: <error text>"; the result document is kept. */
class Error : public std::runtime_error {
public:
    Error(std::string aCommand, Outcome aOutcome)
        : std::runtime_error(aCommand + " failed: " +
                             (aOutcome.error.empty() ? std::string("no error text") : aOutcome.error)),
          fCommand(std::move(aCommand)), fOutcome(std::move(aOutcome)) {}
    const std::string& Command() const noexcept { return fCommand; }
    const std::string& Text() const noexcept { return fOutcome.error; }
    const std::string& Document() const noexcept { return fOutcome.document; }
    /* The request reached the terminal but no answer came back (or the command was cancelled after
     * that): the payment may have been approved. Check the device log or the terminal's totals before
     * charging again. */
    bool OutcomeUnknown() const noexcept { return fOutcome.error.rfind(ZRPA_OUTCOME_UNKNOWN, 0) == 0; }
    /* The command was cancelled (Cancel(), or its time limit) before its request reached the terminal:
     * nothing happened there, and it is safe to try again. */
    bool NotPerformed() const noexcept { return fOutcome.error.rfind(ZRPA_NOT_PERFORMED, 0) == 0; }

private:
    std::string fCommand;
    Outcome fOutcome;
};

/* A payment, refund or void. Amounts are the document's decimal texts. */
struct Payment {
    std::string amount, currency, dateTime, number, deviceId, maskedPan, network, transactionType, authCode,
        traceAuditId, refundReference, receiptText, logFile;
    std::string document; // the whole result, for fields not named here

    static Payment FromDocument(std::string aDocument) {
        Payment p;
        p.amount = Field(aDocument, "PaymentAmount");
        p.currency = Field(aDocument, "PaymentCurrency");
        p.dateTime = Field(aDocument, "PaymentDateTime");
        p.number = Field(aDocument, "PaymentNumber");
        p.deviceId = Field(aDocument, "DeviceId");
        p.maskedPan = Field(aDocument, "MaskedPAN");
        p.network = Field(aDocument, "PaymentNetwork");
        p.transactionType = Field(aDocument, "TransactionType");
        p.authCode = Field(aDocument, "AuthCode");
        p.traceAuditId = Field(aDocument, "TraceAuditId");
        p.refundReference = Field(aDocument, "RefundReference");
        p.receiptText = Field(aDocument, "ReceiptText");
        p.logFile = Field(aDocument, "LogFileName");
        p.document = std::move(aDocument);
        return p;
    }
};

/* A reprint of the terminal's last receipt. */
struct Receipt {
    std::string receiptText, cashierReceiptText, document;

    static Receipt FromDocument(std::string aDocument) {
        Receipt r{Field(aDocument, "ReceiptText"), Field(aDocument, "CashierReceiptText"), {}};
        r.document = std::move(aDocument);
        return r;
    }
};

/* The totals of the accounting period (GETTOTALS) or of the one just closed (DAYCLOSE). */
struct Totals {
    std::string deviceId, dateTime;
    long transactionsCount = 0;
    std::string totalAmount, currency, receiptText, logFile, closureNumber, document;

    static Totals FromDocument(std::string aDocument) {
        Totals t;
        t.deviceId = Field(aDocument, "DeviceId");
        t.dateTime = Field(aDocument, "DateTime");
        if (t.dateTime.empty()) {
            t.dateTime = Field(aDocument, "ClosureDateTime");
        }
        const std::string count = Field(aDocument, "TransactionsCount");
        t.transactionsCount = count.empty() ? 0 : std::stol(count);
        t.totalAmount = Field(aDocument, "TotalAmount");
        t.currency = Field(aDocument, "Currency");
        t.receiptText = Field(aDocument, "ReceiptText");
        t.logFile = Field(aDocument, "LogFileName");
        t.closureNumber = Field(aDocument, "ClosureNumber");
        t.document = std::move(aDocument);
        return t;
    }
};

/* How the terminal is reached: the request's Connection element. */
struct Connection {
    std::string element;

    static Connection Tcp(std::string_view aAddress, unsigned aPort, unsigned aConnectTimeoutMs = 3000) {
        return {"<Type>TCP</Type><Address>" + Escape(aAddress) + "</Address><Port>" + std::to_string(aPort) +
                "</Port><ConnectTimeout>" + std::to_string(aConnectTimeoutMs) + "</ConnectTimeout>"};
    }
    /* aPort: "COM1" (on Linux the device named by ZRPA_SERIAL_COM1, else /dev/ttyS0). */
    static Connection Serial(std::string_view aPort, unsigned aSpeed = 9600, unsigned aDataBits = 8,
                             std::string_view aParity = "NONE", unsigned aStopBits = 1) {
        return {"<Type>SERIAL</Type><SerialPort>" + Escape(aPort) + "</SerialPort><Speed>" +
                std::to_string(aSpeed) + "</Speed><DataBits>" + std::to_string(aDataBits) +
                "</DataBits><Parity>" + Escape(aParity) + "</Parity><StopBits>" + std::to_string(aStopBits) +
                "</StopBits>"};
    }
};

/* Settings of the requests a Terminal makes. printLocation: "ECR" (the receipt text comes back) or
 * "EFT" (the terminal prints it). commandTimeoutMs: the longest one command may wait for the terminal
 * (0: the protocol's own waits). */
struct Options {
    int tillCode = 1;
    std::string currency = "EUR";
    std::string printLocation = "ECR";
    std::string logId = "zrpa";
    unsigned commandTimeoutMs = 0;
};

/* aAmount when it is a plain decimal text such as "12.34" (the library checks its range); otherwise
 * throws std::invalid_argument naming it. */
inline std::string CheckedAmount(std::string_view aAmount) {
    const std::size_t point = aAmount.find('.');
    bool valid = !aAmount.empty() && point != 0 && point + 1 != aAmount.size();
    for (std::size_t i = 0; valid && i < aAmount.size(); ++i) {
        valid = i == point || (aAmount[i] >= '0' && aAmount[i] <= '9');
    }
    if (!valid) {
        throw std::invalid_argument("amount \"" + std::string(aAmount) +
                                    "\" is not a decimal number such as 12.34");
    }
    return std::string(aAmount);
}

/* Commands on one terminal. Open() builds a device that later commands share and Close() (or the
 * destructor) releases; without Open() each command builds and frees a device of its own. A failed
 * command throws zrpa::Error. One command at a time; only Cancel() may be called from another thread
 * while one runs. */
class Terminal {
public:
    explicit Terminal(Connection aConnection, Options aOptions = {})
        : fOptions(std::move(aOptions)),
          fEnvelope("<Driver>" ZRPA_DRIVER_NAME "</Driver><LogId>" + Escape(fOptions.logId) +
                    "</LogId><Connection>" + aConnection.element +
                    "</Connection><Parameters><CommandTimeout>" + std::to_string(fOptions.commandTimeoutMs) +
                    "</CommandTimeout></Parameters>") {}
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;
    ~Terminal() {
        try {
            Close();
        } catch (...) { // a destructor cannot report it; Close() called by the host can
        }
    }

    /* OPEN: builds the device (it does not connect yet). */
    void Open() {
        if (fHandle.empty()) {
            fHandle = Field(Run(kOpen, ""), "Handle");
        }
    }
    /* CLOSE of the device of Open(); nothing when none is open. */
    void Close() {
        if (!fHandle.empty()) {
            const std::string handle = std::exchange(fHandle, std::string());
            Run(kClose, "", handle);
        }
    }
    const std::string& Handle() const noexcept { return fHandle; }

    Payment Pay(std::string_view aAmount, std::string_view aReference = "") {
        return Payment::FromDocument(PaymentRequest("PAY", "<Amount>" + CheckedAmount(aAmount) +
                                                               "</Amount><Reference>" + Escape(aReference) +
                                                               "</Reference>"));
    }
    /* A refund not tied to an earlier payment. */
    Payment Refund(std::string_view aAmount) {
        return Payment::FromDocument(
            PaymentRequest("REFUND", "<Amount>" + CheckedAmount(aAmount) + "</Amount>"));
    }
    /* The void of an earlier payment, named by its Payment::refundReference. */
    Payment Void(std::string_view aRefundReference) {
        return Payment::FromDocument(PaymentRequest("VOID", "<RefundReference><PaymentId>" +
                                                                Escape(aRefundReference) +
                                                                "</PaymentId></RefundReference>"));
    }
    Receipt Reprint() {
        return Receipt::FromDocument(
            Run(kReprint,
                "<Reprint><PrintLocation>" + Escape(fOptions.printLocation) + "</PrintLocation></Reprint>"));
    }
    Totals GetTotals() {
        return Totals::FromDocument(Run(kGetTotals, "<GetTotals>" + Period() + "</GetTotals>"));
    }
    /* Closes the accounting period; returns its totals. */
    Totals DayClose() {
        return Totals::FromDocument(Run(kDayClose, "<DayClose>" + Period() + "</DayClose>"));
    }
    /* GETSTATUS: the library's answer document, without touching the terminal. */
    std::string Status() { return Run(kGetStatus, ""); }
    /* VERIFYTRAN: this driver answers it as unsupported (a zrpa::Error that says so). */
    std::string VerifyTran() { return Run(kVerifyTran, ""); }

    /* CANCEL, from any thread: stops the command running on this terminal's device (of Open()), or every
     * command the library runs when aEveryCommand or no device is open. The cancelled command throws
     * within a second, with NotPerformed() or OutcomeUnknown(). Returns how many commands were reached. */
    long Cancel(bool aEveryCommand = false) {
        const std::string handle =
            aEveryCommand || fHandle.empty() ? std::string() : "<Handle>" + fHandle + "</Handle>";
        Outcome outcome = Call(kCancel, "<Cancel>" + handle + "</Cancel>");
        if (!outcome.Succeeded()) {
            throw Error(kCancel.name, std::move(outcome));
        }
        return std::stol("0" + Field(outcome.document, "Cancelled"));
    }

    /* The driver's version text ("Version 1.27 - ..."). */
    static std::string Version() {
        const BStr name = BStr::FromUtf8(ZRPA_DRIVER_NAME);
        BStr text;
        BStr error;
        const std::int32_t code = VERSION(name.Get(), text.Out(), error.Out());
        if (code != 0) {
            throw Error("VERSION", Outcome{code, {}, error.Utf8()});
        }
        return text.Utf8();
    }

private:
    std::string Period() const {
        return "<TillCode>" + std::to_string(fOptions.tillCode) + "</TillCode><PrintLocation>" +
               Escape(fOptions.printLocation) + "</PrintLocation>";
    }
    std::string PaymentRequest(const char* aAction, const std::string& aFields) {
        return Run(kPay, std::string("<Payment><Action>") + aAction + "</Action><Currency>" +
                             Escape(fOptions.currency) + "</Currency>" + Period() + aFields + "</Payment>");
    }
    std::string Run(const Command& aCommand, const std::string& aSection) {
        return Run(aCommand, aSection, fHandle);
    }
    std::string Run(const Command& aCommand, const std::string& aSection, const std::string& aHandle) {
        const std::string handle = aHandle.empty() ? std::string() : "<Handle>" + aHandle + "</Handle>";
        Outcome outcome = Call(aCommand, "<ReceiptPrinterManager Version=\"1.0\">" + handle + fEnvelope +
                                             aSection + "</ReceiptPrinterManager>");
        if (!outcome.Succeeded()) {
            throw Error(aCommand.name, std::move(outcome));
        }
        return std::move(outcome.document);
    }

    Options fOptions;
    std::string fEnvelope;
    std::string fHandle;
};

} // namespace zrpa

#endif
