#pragma once
// The Protocol 17 message layouts, each described once as named fields (position, width, kind), for
// whatever builds or reads the texts inside a frame: the driver, and tools that decode recorded frames.
// Positions count from 1 as the terminal's documentation does. Only the standard library is used, so a
// tool can decode frames without linking the driver.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

enum class P17FieldKind : std::uint8_t {
    Literal, // fixed text, given by the field's Literal (or the layout's code letter for the code field)
    Code,    // the message code letter
    Result,  // the two-character result code of an answer
    Digits,  // a number, sent and read as decimal digits
    Cents,   // an amount in cents, decimal digits
    DayTime, // DDDHHMM: day of the year, hour, minute
    Flag,    // one character, "1" meaning set
    Text,    // free text; request texts are right-aligned and filled with spaces on the left
};

// For which answers a field is read: the driver ignores the positions otherwise (they may hold
// something else, as the error description overlaps the card fields).
enum class P17ReadWhen : std::uint8_t {
    Always,
    Approved,           // result code "00"
    Declined,           // "01"
    ApprovedOrDeclined, // "00" or "01"
    Refused,            // "01" or "91" (void)
    Conversion,         // "00", code letter "V" and the conversion flag "1" (payment)
};

struct P17Field {
    std::string_view Name;
    std::uint16_t Position; // first character, from 1
    std::uint16_t Width;
    P17FieldKind Kind;
    std::string_view Literal = {};
};

// Fields read under one condition; answers share groups (the card fields of payment, refund and void).
struct P17Group {
    std::span<const P17Field> Fields;
    P17ReadWhen When = P17ReadWhen::Always;
};

struct P17Layout {
    std::string_view Name; // "payment request", "answer to payment", ...
    char Code;             // code letter of the request, or of the request answered
    bool FromTerminal;     // an answer (or receipt text) rather than a request
    std::uint16_t Length;  // length of a request text; 0 for answers (their length varies)
    std::span<const P17Group> Groups;
};

// The layouts themselves. They live here, where the compiler sees them, so that a field name written in
// the code is checked against them as it compiles (P17Name); use them through the functions below.
namespace p17tables {
using K = P17FieldKind;
using W = P17ReadWhen;

// The code letter: at the same position in requests and answers.
inline constexpr P17Field kCode{"code", 10, 1, K::Code};

// --- requests: "00000000", "0", the code letter, then the fields
inline constexpr P17Field kRequestHeader[] = {
    {"terminal_id", 1, 8, K::Literal, "00000000"},
    {"filler", 9, 1, K::Literal, "0"},
    kCode,
};
inline constexpr P17Field kEcr{"ecr", 11, 8, K::Digits};

inline constexpr P17Field kPrintLocationFields[] = {{"print_on_ecr", 11, 1, K::Flag}};
inline constexpr P17Field kPayFields[] = {
    kEcr,
    {"filler", 19, 5, K::Literal, "00000"},
    {"amount", 24, 8, K::Cents},
    {"reference", 32, 128, K::Text},
    {"filler", 160, 8, K::Literal, "00000000"},
};
inline constexpr P17Field kRefundFields[] = {
    kEcr,
    {"filler", 19, 5, K::Literal, "00000"},
    {"amount", 24, 8, K::Cents},
    {"filler", 32, 8, K::Literal, "00000000"},
};
// The voided payment's fields come from its refund reference.
inline constexpr P17Field kVoidFields[] = {
    kEcr,
    {"filler", 19, 6, K::Literal, "000000"},
    {"stan", 25, 6, K::Digits},
    {"card", 31, 5, K::Text}, // "C" and the last four digits
    {"acquirer", 36, 11, K::Digits},
    {"amount", 47, 8, K::Cents},
    {"auth_code", 55, 6, K::Text},
    {"date_time", 61, 10, K::Digits}, // ddmmyyhhnn
    {"filler", 71, 10, K::Literal, "0000000000"},
};
inline constexpr P17Field kReprintFields[] = {
    {"print_on_ecr", 11, 1, K::Flag},
    {"filler", 12, 1, K::Literal, "0"},
    {"filler", 13, 10, K::Literal, "0000000000"},
};
inline constexpr P17Field kServiceFields[] = {
    kEcr,
    {"filler", 19, 1, K::Literal, "0"},
    {"filler", 20, 7, K::Literal, "0000000"},
};

inline constexpr P17Group kPrintLocationGroups[] = {{kRequestHeader}, {kPrintLocationFields}};
inline constexpr P17Group kPayGroups[] = {{kRequestHeader}, {kPayFields}};
inline constexpr P17Group kRefundGroups[] = {{kRequestHeader}, {kRefundFields}};
inline constexpr P17Group kVoidGroups[] = {{kRequestHeader}, {kVoidFields}};
inline constexpr P17Group kReprintGroups[] = {{kRequestHeader}, {kReprintFields}};
inline constexpr P17Group kServiceGroups[] = {{kRequestHeader}, {kServiceFields}};

inline constexpr P17Layout kRequests[] = {
    {"print location", 'E', false, 11, kPrintLocationGroups},
    {"payment request", 'X', false, 167, kPayGroups},
    {"refund request", 'A', false, 39, kRefundGroups},
    {"void request", 'Q', false, 80, kVoidGroups},
    {"reprint request", 'R', false, 22, kReprintGroups},
    {"day close request", 'C', false, 26, kServiceGroups},
    {"totals request", 'T', false, 26, kServiceGroups},
};

// --- answers: the terminal's identifier, a position nobody reads, the code letter, the result code
inline constexpr P17Field kAnswerHeader[] = {
    {"terminal_id", 1, 8, K::Text},
    kCode,
    {"result", 11, 2, K::Result},
};
// The card fields that the payment, refund and void answers share.
inline constexpr P17Field kCardFields[] = {
    {"card", 13, 19, K::Text},
    {"entry_mode", 32, 3, K::Text},
    {"auth_code", 35, 6, K::Text},
};
inline constexpr P17Field kTerminalDate[] = {{"date_time", 41, 7, K::DayTime}};
inline constexpr P17Field kNetworkFields[] = {
    {"bank_flag", 48, 1, K::Flag},
    {"acquirer", 49, 11, K::Digits},
};
inline constexpr P17Field kStan[] = {{"stan", 60, 6, K::Text}}; // digits or letters
inline constexpr P17Field kOperation[] = {{"operation", 66, 6, K::Digits}};
inline constexpr P17Field kPayAmount[] = {
    {"amount", 75, 8, K::Cents},
    {"conversion", 83, 1, K::Flag},
};
inline constexpr P17Field kConversion[] = {
    {"rate", 84, 8, K::Digits}, // four implied decimals
    {"currency", 92, 3, K::Text},
    {"foreign_amount", 95, 12, K::Digits},
    {"decimals", 107, 1, K::Digits},
};
inline constexpr P17Field kCardError[] = {{"error_text", 13, 24, K::Text}};
inline constexpr P17Field kRefundTail[] = {
    {"acquirer", 41, 11, K::Digits},
    {"date_time", 52, 7, K::DayTime},
};
inline constexpr P17Field kTotal[] = {{"total", 13, 16, K::Cents}};
inline constexpr P17Field kDayCloseError[] = {{"error_text", 13, 19, K::Text}};
inline constexpr P17Field kReceiptText[] = {{"text", 11, 200, K::Text}};
inline constexpr P17Field kDayTimeParts[] = {
    {"day", 1, 3, K::Digits},
    {"hour", 4, 2, K::Digits},
    {"minute", 6, 2, K::Digits},
};

inline constexpr P17Group kPayAnswerGroups[] = {
    {kAnswerHeader},
    {kCardFields, W::Approved},
    {kTerminalDate, W::Approved},
    {kNetworkFields, W::Approved},
    {kStan, W::ApprovedOrDeclined},
    {kOperation, W::Approved},
    {kPayAmount, W::Approved},
    {kConversion, W::Conversion},
    {kCardError, W::Declined},
};
inline constexpr P17Group kRefundAnswerGroups[] = {{kAnswerHeader}, {kCardFields}, {kRefundTail}};
inline constexpr P17Group kVoidAnswerGroups[] = {
    {kAnswerHeader},
    {kCardFields, W::Approved},
    {kTerminalDate, W::Approved},
    {kCardError, W::Refused},
    {kNetworkFields},
    {kStan},
    {kOperation},
};
inline constexpr P17Group kReprintAnswerGroups[] = {{kAnswerHeader}};
inline constexpr P17Group kDayCloseAnswerGroups[] = {
    {kAnswerHeader}, {kTotal, W::Approved}, {kDayCloseError, W::Declined}};
inline constexpr P17Group kTotalsAnswerGroups[] = {{kAnswerHeader}, {kTotal}};
inline constexpr P17Group kReceiptGroups[] = {{std::span<const P17Field>(kAnswerHeader, 2)}, {kReceiptText}};

inline constexpr P17Layout kAnswers[] = {
    {"answer to payment", 'X', true, 0, kPayAnswerGroups},
    {"answer to refund", 'A', true, 0, kRefundAnswerGroups},
    {"answer to void", 'Q', true, 0, kVoidAnswerGroups},
    {"answer to reprint", 'R', true, 0, kReprintAnswerGroups},
    {"answer to day close", 'C', true, 0, kDayCloseAnswerGroups},
    {"answer to totals", 'T', true, 0, kTotalsAnswerGroups},
};
inline constexpr P17Layout kReceipt{"receipt text", 'S', true, 0, kReceiptGroups};
} // namespace p17tables

// A field name that some layout has, checked as the code compiles: a misspelt name in the driver or in
// a tool does not build. Whether the layout at hand has the field is still found when it is used.
class P17Name {
public:
    consteval P17Name(const char* aName) : fName(aName) {
        if (!Known(fName)) {
            NoLayoutHasThisField();
        }
    }
    constexpr std::string_view View() const { return fName; }
    constexpr bool operator==(const P17Name& aOther) const { return fName == aOther.fName; }

private:
    static constexpr bool Known(std::string_view aName) {
        const auto in = [&](std::span<const P17Field> aFields) {
            for (const auto& field : aFields) {
                if (field.Name == aName) {
                    return true;
                }
            }
            return false;
        };
        const auto inLayout = [&](const P17Layout& aLayout) {
            for (const auto& group : aLayout.Groups) {
                if (in(group.Fields)) {
                    return true;
                }
            }
            return false;
        };
        for (const auto& layout : p17tables::kRequests) {
            if (inLayout(layout)) {
                return true;
            }
        }
        for (const auto& layout : p17tables::kAnswers) {
            if (inLayout(layout)) {
                return true;
            }
        }
        return inLayout(p17tables::kReceipt) || in(p17tables::kDayTimeParts);
    }
    // Not constexpr: reaching it stops the compilation at the misspelt name.
    static void NoLayoutHasThisField() {}

    std::string_view fName;
};

// The request layouts E, X, A, Q, R, C, T; null for any other code.
const P17Layout* P17RequestLayout(char aCode);
// The layout of the terminal's answer to the request aRequestCode; null when that request has no answer
// message ("E"). The answer's own code letter does not say what it answers (a payment answer is "X" or
// "V"), so the request decides.
const P17Layout* P17AnswerLayout(char aRequestCode);
// Receipt text: the 10-character header and up to 200 characters of text.
const P17Layout& P17ReceiptLayout();
// Every layout, requests first (for tests and for listing).
std::span<const P17Layout* const> P17AllLayouts();

// The code letter of a message text (at the same position in requests and answers); '\0' when the text
// ends before it.
char P17MessageCode(std::string_view aText);

// The field of that name in aLayout, or null.
const P17Field* P17FindField(const P17Layout& aLayout, P17Name aName);

// True when aField is the field aName.
constexpr bool P17Is(const P17Field& aField, P17Name aName) {
    return aField.Name == aName.View();
}

// True when a group read under aWhen is read for an answer with this result code, code letter and
// conversion flag (position 83 of the payment answer).
bool P17IsRead(P17ReadWhen aWhen, std::string_view aResultCode, char aCodeLetter, char aConversionFlag);

// The characters of aField in aText; shorter or empty when the text ends before the field does.
template <typename TString> TString P17FieldText(const TString& aText, const P17Field& aField) {
    const std::size_t first = aField.Position - 1u;
    return first < aText.size() ? aText.substr(first, aField.Width) : TString();
}

// What decides which groups of an answer are read: its result code, code letter and conversion flag
// (empty or '\0' where the answer has no such field or ends before it).
struct P17AnswerKey {
    std::string Result;
    char Code = '\0';
    char Conversion = '\0';
};

// The key of the answer aText of aLayout, from the layout's "result", "code" and "conversion" fields. A
// character beyond ASCII becomes 0x80, which no condition names.
template <typename TString> P17AnswerKey P17KeyOf(const P17Layout& aLayout, const TString& aText) {
    const auto narrow = [](auto c) {
        const auto code = static_cast<std::uint32_t>(c);
        return code < 0x80 ? static_cast<char>(code) : static_cast<char>(0x80);
    };
    const auto text = [&](P17Name aName) {
        std::string out;
        if (const P17Field* f = P17FindField(aLayout, aName)) {
            for (const auto c : P17FieldText(aText, *f)) {
                out += narrow(c);
            }
        }
        return out;
    };
    P17AnswerKey key;
    key.Result = text("result");
    const std::string code = text("code"), conversion = text("conversion");
    key.Code = code.empty() ? '\0' : code[0];
    key.Conversion = conversion.empty() ? '\0' : conversion[0];
    return key;
}

// True when aLayout has the field aName and reads it for an answer with aKey (every field of a request
// is read).
bool P17Reads(const P17Layout& aLayout, P17Name aName, const P17AnswerKey& aKey);

// The parts of a DDDHHMM field ("day", "hour", "minute"), positions counted within the field.
std::span<const P17Field> P17DayTimeParts();

struct P17Value {
    P17Name Name;
    std::string Value;
};

// A request text of aLayout: literal fields as the layout fixes them, the named values placed at their
// fields (digits and amounts filled with "0" on the left, texts with spaces on the left; a longer value
// is placed whole, as the driver sends an over-long reference), fields without a value as zeros
// (numbers) or spaces (texts).
std::string P17Build(const P17Layout& aLayout, std::span<const P17Value> aValues);

struct P17DecodedField {
    const P17Field* Field = nullptr;
    std::string Value;
    bool Complete = true; // false when the text ended inside the field (or before it)
};

// The fields of aText that the driver reads for this answer (or every field of a request), in layout
// order. Never fails: a short or damaged text gives short or incomplete fields.
std::vector<P17DecodedField> P17Decode(const P17Layout& aLayout, std::string_view aText);

// The receipt text of the receipt messages cut into the lines the cash register prints: 24 characters
// at the start, "^" switches to 42, "{" and "|" to 12, "}", "~" and DEL back to 24; ESC shows as a
// space; a last partial line is dropped. Lines without their CR LF.
std::vector<std::string> P17ReceiptLines(std::string_view aText);
