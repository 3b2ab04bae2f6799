#include "runtime/MessageTemplate.h"

#include <charconv>
#include <cmath>

#include "base/ZrError.h"
#include "platform/Locale.h"

namespace {
// --- %-placeholders of message templates: [index ":"] ["-"] [width] ["." precision] type ---------------
class TemplateFormatter {
public:
    TemplateFormatter(const Text& aTemplate, const std::vector<tZR_Value>& aValues)
        : fTemplate(aTemplate), fValues(aValues) {}

    Text Run() {
        Text out;
        std::size_t i = 0;
        while (i < fTemplate.size()) {
            const char16_t c = fTemplate[i++];
            if (c != u'%') {
                out.push_back(c);
                continue;
            }
            if (i < fTemplate.size() && fTemplate[i] == u'%') {
                out.push_back(u'%');
                ++i;
                continue;
            }
            out += Placeholder(i);
        }
        return out;
    }

private:
    [[noreturn]] void Fail() const {
        throw ZrError(u"Format '" + fTemplate + u"' invalid or incompatible with argument");
    }

    bool ReadNumber(std::size_t& i, int& aOut) const {
        bool any = false;
        int v = 0;
        while (i < fTemplate.size() && fTemplate[i] >= u'0' && fTemplate[i] <= u'9') {
            v = std::min(v * 10 + (fTemplate[i] - u'0'), 100000);
            any = true;
            ++i;
        }
        aOut = v;
        return any;
    }

    Text Placeholder(std::size_t& i) {
        int number = 0;
        bool left = false;
        int width = 0;
        int precision = -1;
        if (ReadNumber(i, number)) {
            if (i < fTemplate.size() && fTemplate[i] == u':') {
                fNext = static_cast<std::size_t>(number);
                ++i;
            } else {
                width = number;
            }
        }
        if (i < fTemplate.size() && fTemplate[i] == u'-') {
            left = true;
            ++i;
        }
        if (width == 0) {
            ReadNumber(i, width);
        }
        if (i < fTemplate.size() && fTemplate[i] == u'.') {
            ++i;
            if (!ReadNumber(i, precision)) {
                Fail();
            }
        }
        if (i >= fTemplate.size()) {
            Fail();
        }
        const char16_t type = static_cast<char16_t>(fTemplate[i++] | 0x20);
        if (fNext >= fValues.size()) {
            Fail();
        }
        const tZR_Value& value = fValues[fNext++];
        Text text = Render(type, value, precision);
        if (static_cast<int>(text.size()) < width) {
            const Text pad(static_cast<std::size_t>(width) - text.size(), u' ');
            text = left ? text + pad : pad + text;
        }
        return text;
    }

    Text Render(char16_t aType, const tZR_Value& aValue, int aPrecision) const {
        const auto* integer = std::get_if<std::int64_t>(&aValue);
        const auto* real = std::get_if<double>(&aValue);
        const auto* text = std::get_if<Text>(&aValue);
        switch (aType) {
        case u'd':
        case u'u':
        case u'x': {
            if (integer == nullptr) {
                Fail();
            }
            Text digits;
            bool negative = false;
            if (aType == u'x') {
                char buffer[24];
                const auto r =
                    std::to_chars(buffer, buffer + sizeof buffer, static_cast<std::uint64_t>(*integer), 16);
                for (const char* p = buffer; p != r.ptr; ++p) {
                    digits.push_back(static_cast<char16_t>(*p >= 'a' ? *p - 'a' + 'A' : *p));
                }
            } else if (aType == u'u') {
                digits = UIntToText(static_cast<std::uint64_t>(*integer));
            } else {
                negative = *integer < 0;
                digits = UIntToText(negative ? 0 - static_cast<std::uint64_t>(*integer)
                                             : static_cast<std::uint64_t>(*integer));
            }
            if (aPrecision > static_cast<int>(digits.size())) {
                digits.insert(0, static_cast<std::size_t>(aPrecision) - digits.size(), u'0');
            }
            return negative ? u"-" + digits : digits;
        }
        case u's':
            if (text == nullptr) {
                Fail();
            }
            return aPrecision >= 0 && static_cast<std::size_t>(aPrecision) < text->size()
                       ? text->substr(0, static_cast<std::size_t>(aPrecision))
                       : *text;
        case u'f':
        case u'e':
        case u'g': {
            if (real == nullptr && integer == nullptr) {
                Fail();
            }
            const double v = real != nullptr ? *real : static_cast<double>(*integer);
            if (!std::isfinite(v)) {
                return Utf8ToText(std::isnan(v) ? "NAN" : (v < 0 ? "-INF" : "INF"));
            }
            char buffer[400];
            std::to_chars_result r{};
            if (aType == u'f') {
                const int decimals = aPrecision < 0 ? 2 : std::min(aPrecision, 18);
                r = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed, decimals);
            } else if (aType == u'e') {
                const int digits = aPrecision < 1 ? 15 : std::min(aPrecision, 18);
                r = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::scientific,
                                  digits - 1);
            } else {
                const int digits = aPrecision < 1 ? 15 : std::min(aPrecision, 18);
                r = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::general, digits);
            }
            if (r.ec != std::errc()) {
                Fail();
            }
            const Text separator = HostDecimalSeparator();
            Text out;
            for (const char* p = buffer; p != r.ptr; ++p) {
                if (*p == '.') {
                    out += separator;
                } else {
                    out.push_back(static_cast<char16_t>(*p == 'e' ? 'E' : *p));
                }
            }
            return out;
        }
        default:
            Fail();
        }
    }

    const Text& fTemplate;
    const std::vector<tZR_Value>& fValues;
    std::size_t fNext = 0;
};

Text ReplaceBackslashN(const Text& aText) {
    Text out;
    out.reserve(aText.size());
    for (std::size_t i = 0; i < aText.size(); ++i) {
        if (aText[i] == u'\\' && i + 1 < aText.size() && aText[i + 1] == u'n') {
            out += u"\r\n";
            ++i;
        } else {
            out.push_back(aText[i]);
        }
    }
    return out;
}
} // namespace

Text FormatMessageTemplate(const Text& aTemplate, const std::vector<tZR_Value>& aValues) {
    return ReplaceBackslashN(TemplateFormatter(aTemplate, aValues).Run());
}
