#include "drivers/P17Messages.h"

#include <algorithm>
#include <array>

namespace {
using K = P17FieldKind;
using namespace p17tables;

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

const P17Field* P17FindField(const P17Layout& aLayout, P17Name aName) {
    for (const auto& group : aLayout.Groups) {
        for (const auto& field : group.Fields) {
            if (P17Is(field, aName)) {
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

bool P17Reads(const P17Layout& aLayout, P17Name aName, const P17AnswerKey& aKey) {
    for (const auto& group : aLayout.Groups) {
        for (const auto& field : group.Fields) {
            if (P17Is(field, aName)) {
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
            if (v.Name.View() == aName) {
                aValue = v.Value;
                given = true;
            }
        }
        return given;
    };
    std::string result, conversion, code(1, aLayout.Code);
    valueOf(P17Name("result").View(), result);
    valueOf(P17Name("code").View(), code);
    valueOf(P17Name("conversion").View(), conversion);
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
