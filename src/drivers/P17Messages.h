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
const P17Field* P17FindField(const P17Layout& aLayout, std::string_view aName);

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
    const auto text = [&](std::string_view aName) {
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
bool P17Reads(const P17Layout& aLayout, std::string_view aName, const P17AnswerKey& aKey);

// The parts of a DDDHHMM field ("day", "hour", "minute"), positions counted within the field.
std::span<const P17Field> P17DayTimeParts();

struct P17Value {
    std::string_view Name;
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
