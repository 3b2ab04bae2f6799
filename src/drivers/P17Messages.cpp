#include "drivers/P17Messages.h"

#include <algorithm>
#include <array>

namespace {
using K = P17FieldKind;
using W = P17ReadWhen;

// The code letter: at the same position in requests and answers.
constexpr P17Field kCode{"code", 10, 1, K::Code};

// --- requests: "00000000", "0", the code letter, then the fields
constexpr P17Field kRequestHeader[] = {
    {"terminal_id", 1, 8, K::Literal, "00000000"},
    {"filler", 9, 1, K::Literal, "0"},
    kCode,
};
constexpr P17Field kEcr{"ecr", 11, 8, K::Digits};

constexpr P17Field kPrintLocationFields[] = {{"print_on_ecr", 11, 1, K::Flag}};
constexpr P17Field kPayFields[] = {
    kEcr,
    {"filler", 19, 5, K::Literal, "00000"},
    {"amount", 24, 8, K::Cents},
    {"reference", 32, 128, K::Text},
    {"filler", 160, 8, K::Literal, "00000000"},
};
constexpr P17Field kRefundFields[] = {
    kEcr,
    {"filler", 19, 5, K::Literal, "00000"},
    {"amount", 24, 8, K::Cents},
    {"filler", 32, 8, K::Literal, "00000000"},
};
// The voided payment's fields come from its refund reference.
constexpr P17Field kVoidFields[] = {
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
constexpr P17Field kReprintFields[] = {
    {"print_on_ecr", 11, 1, K::Flag},
    {"filler", 12, 1, K::Literal, "0"},
    {"filler", 13, 10, K::Literal, "0000000000"},
};
constexpr P17Field kServiceFields[] = {
    kEcr,
    {"filler", 19, 1, K::Literal, "0"},
    {"filler", 20, 7, K::Literal, "0000000"},
};

constexpr P17Group kPrintLocationGroups[] = {{kRequestHeader}, {kPrintLocationFields}};
constexpr P17Group kPayGroups[] = {{kRequestHeader}, {kPayFields}};
constexpr P17Group kRefundGroups[] = {{kRequestHeader}, {kRefundFields}};
constexpr P17Group kVoidGroups[] = {{kRequestHeader}, {kVoidFields}};
constexpr P17Group kReprintGroups[] = {{kRequestHeader}, {kReprintFields}};
constexpr P17Group kServiceGroups[] = {{kRequestHeader}, {kServiceFields}};

constexpr P17Layout kRequests[] = {
    {"print location", 'E', false, 11, kPrintLocationGroups},
    {"payment request", 'X', false, 167, kPayGroups},
    {"refund request", 'A', false, 39, kRefundGroups},
    {"void request", 'Q', false, 80, kVoidGroups},
    {"reprint request", 'R', false, 22, kReprintGroups},
    {"day close request", 'C', false, 26, kServiceGroups},
    {"totals request", 'T', false, 26, kServiceGroups},
};

// --- answers: the terminal's identifier, a position nobody reads, the code letter, the result code
constexpr P17Field kAnswerHeader[] = {
    {"terminal_id", 1, 8, K::Text},
    kCode,
    {"result", 11, 2, K::Result},
};
// The card fields that the payment, refund and void answers share.
constexpr P17Field kCardFields[] = {
    {"card", 13, 19, K::Text},
    {"entry_mode", 32, 3, K::Text},
    {"auth_code", 35, 6, K::Text},
};
constexpr P17Field kTerminalDate[] = {{"date_time", 41, 7, K::DayTime}};
constexpr P17Field kNetworkFields[] = {
    {"bank_flag", 48, 1, K::Flag},
    {"acquirer", 49, 11, K::Digits},
};
constexpr P17Field kStan[] = {{"stan", 60, 6, K::Text}}; // digits or letters
constexpr P17Field kOperation[] = {{"operation", 66, 6, K::Digits}};
constexpr P17Field kPayAmount[] = {
    {"amount", 75, 8, K::Cents},
    {"conversion", 83, 1, K::Flag},
};
constexpr P17Field kConversion[] = {
    {"rate", 84, 8, K::Digits}, // four implied decimals
    {"currency", 92, 3, K::Text},
    {"foreign_amount", 95, 12, K::Digits},
    {"decimals", 107, 1, K::Digits},
};
constexpr P17Field kCardError[] = {{"error_text", 13, 24, K::Text}};
constexpr P17Field kRefundTail[] = {
    {"acquirer", 41, 11, K::Digits},
    {"date_time", 52, 7, K::DayTime},
};
constexpr P17Field kTotal[] = {{"total", 13, 16, K::Cents}};
constexpr P17Field kDayCloseError[] = {{"error_text", 13, 19, K::Text}};
constexpr P17Field kReceiptText[] = {{"text", 11, 200, K::Text}};
constexpr P17Field kDayTimeParts[] = {
    {"day", 1, 3, K::Digits},
    {"hour", 4, 2, K::Digits},
    {"minute", 6, 2, K::Digits},
};

constexpr P17Group kPayAnswerGroups[] = {
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
constexpr P17Group kRefundAnswerGroups[] = {{kAnswerHeader}, {kCardFields}, {kRefundTail}};
constexpr P17Group kVoidAnswerGroups[] = {
    {kAnswerHeader},
    {kCardFields, W::Approved},
    {kTerminalDate, W::Approved},
    {kCardError, W::Refused},
    {kNetworkFields},
    {kStan},
    {kOperation},
};
constexpr P17Group kReprintAnswerGroups[] = {{kAnswerHeader}};
constexpr P17Group kDayCloseAnswerGroups[] = {
    {kAnswerHeader}, {kTotal, W::Approved}, {kDayCloseError, W::Declined}};
constexpr P17Group kTotalsAnswerGroups[] = {{kAnswerHeader}, {kTotal}};
constexpr P17Group kReceiptGroups[] = {{std::span<const P17Field>(kAnswerHeader, 2)}, {kReceiptText}};

constexpr P17Layout kAnswers[] = {
    {"answer to payment", 'X', true, 0, kPayAnswerGroups},
    {"answer to refund", 'A', true, 0, kRefundAnswerGroups},
    {"answer to void", 'Q', true, 0, kVoidAnswerGroups},
    {"answer to reprint", 'R', true, 0, kReprintAnswerGroups},
    {"answer to day close", 'C', true, 0, kDayCloseAnswerGroups},
    {"answer to totals", 'T', true, 0, kTotalsAnswerGroups},
};
constexpr P17Layout kReceipt{"receipt text", 'S', true, 0, kReceiptGroups};

template <std::size_t N> const P17Layout* FindByCode(const P17Layout (&aLayouts)[N], char aCode) {
    for (const auto& layout : aLayouts) {
        if (layout.Code == aCode) {
            return &layout;
        }
    }
    return nullptr;
}

constexpr auto kAll = [] {
    std::array<const P17Layout*, std::size(kRequests) + std::size(kAnswers) + 1> all{};
    std::size_t i = 0;
    for (const auto& l : kRequests) {
        all[i++] = &l;
    }
    for (const auto& l : kAnswers) {
        all[i++] = &l;
    }
    all[i] = &kReceipt;
    return all;
}();

bool IsNumberKind(P17FieldKind aKind) {
    return aKind == K::Digits || aKind == K::Cents || aKind == K::DayTime || aKind == K::Flag;
}
} // namespace

const P17Layout* P17RequestLayout(char aCode) {
    return FindByCode(kRequests, aCode);
}

const P17Layout* P17AnswerLayout(char aRequestCode) {
    return FindByCode(kAnswers, aRequestCode);
}

const P17Layout& P17ReceiptLayout() {
    return kReceipt;
}

std::span<const P17Layout* const> P17AllLayouts() {
    return kAll;
}

char P17MessageCode(std::string_view aText) {
    const std::string_view code = P17FieldText(aText, kCode);
    return code.empty() ? '\0' : code[0];
}

const P17Field* P17FindField(const P17Layout& aLayout, std::string_view aName) {
    for (const auto& group : aLayout.Groups) {
        for (const auto& field : group.Fields) {
            if (field.Name == aName) {
                return &field;
            }
        }
    }
    return nullptr;
}

bool P17IsRead(P17ReadWhen aWhen, std::string_view aResultCode, char aCodeLetter, char aConversionFlag) {
    switch (aWhen) {
    case W::Always:
        return true;
    case W::Approved:
        return aResultCode == "00";
    case W::Declined:
        return aResultCode == "01";
    case W::ApprovedOrDeclined:
        return aResultCode == "00" || aResultCode == "01";
    case W::Refused:
        return aResultCode == "01" || aResultCode == "91";
    case W::Conversion:
        return aResultCode == "00" && aCodeLetter == 'V' && aConversionFlag == '1';
    }
    return false;
}

bool P17Reads(const P17Layout& aLayout, std::string_view aName, const P17AnswerKey& aKey) {
    for (const auto& group : aLayout.Groups) {
        for (const auto& field : group.Fields) {
            if (field.Name == aName) {
                return !aLayout.FromTerminal ||
                       P17IsRead(group.When, aKey.Result, aKey.Code, aKey.Conversion);
            }
        }
    }
    return false;
}

std::span<const P17Field> P17DayTimeParts() {
    return kDayTimeParts;
}

std::string P17Build(const P17Layout& aLayout, std::span<const P17Value> aValues) {
    auto valueOf = [&](std::string_view aName, std::string& aValue) {
        bool given = false;
        for (const auto& v : aValues) {
            if (v.Name == aName) {
                aValue = v.Value;
                given = true;
            }
        }
        return given;
    };
    std::string result, conversion, code(1, aLayout.Code);
    valueOf("result", result);
    valueOf("code", code);
    valueOf("conversion", conversion);
    std::string text;
    std::size_t shift = 0; // characters an over-long value added before the following fields
    for (const auto& group : aLayout.Groups) {
        if (aLayout.FromTerminal && !P17IsRead(group.When, result, code.empty() ? '\0' : code[0],
                                               conversion.empty() ? '\0' : conversion[0])) {
            continue;
        }
        for (const auto& field : group.Fields) {
            std::string value;
            if (field.Kind == K::Literal) {
                value = std::string(field.Literal);
            } else if (field.Kind == K::Code && !valueOf(field.Name, value)) {
                value = std::string(1, aLayout.Code);
            } else if (field.Kind != K::Code) {
                valueOf(field.Name, value);
            }
            if (value.size() < field.Width) {
                value.insert(0, field.Width - value.size(), IsNumberKind(field.Kind) ? '0' : ' ');
            }
            // Positions nobody reads (answer position 9) are spaces; overlapping fields of answers are
            // laid over each other only when both are read, which the conditions exclude.
            const std::size_t at = field.Position - 1u + shift;
            if (text.size() < at) {
                text.append(at - text.size(), ' ');
            }
            text.replace(at, std::min<std::size_t>(field.Width, text.size() - at), value);
            shift += value.size() - field.Width;
        }
    }
    return text;
}

std::vector<P17DecodedField> P17Decode(const P17Layout& aLayout, std::string_view aText) {
    const P17AnswerKey key = P17KeyOf(aLayout, aText);
    std::vector<P17DecodedField> out;
    for (const auto& group : aLayout.Groups) {
        if (aLayout.FromTerminal && !P17IsRead(group.When, key.Result, key.Code, key.Conversion)) {
            continue;
        }
        for (const auto& field : group.Fields) {
            const std::string_view value = P17FieldText(aText, field);
            out.push_back({&field, std::string(value), value.size() == field.Width});
        }
    }
    return out;
}

std::vector<std::string> P17ReceiptLines(std::string_view aText) {
    std::vector<std::string> lines;
    std::string line;
    std::size_t width = 24;
    for (const char c : aText) {
        switch (c) {
        case '^':
            width = 42;
            continue;
        case '{':
        case '|':
            width = 12;
            continue;
        case '}':
        case '~':
        case 0x7F:
            width = 24;
            continue;
        default:
            break;
        }
        line += c == 0x1B ? ' ' : c;
        if (line.size() >= width) {
            lines.push_back(std::move(line));
            line.clear();
        }
    }
    return lines;
}
