#include "drivers/RefundReference.h"

#include "base/Formatting.h"
#include "base/ZrError.h"
#include "drivers/P17CardData.h"

namespace {
Text Packed(std::int64_t aValue, std::size_t aWidth, const char16_t* aWhat) {
    if (aValue < 0) {
        throw ZrError(Text(aWhat) + u" " + IntToText(aValue) + u" cannot be packed: it is negative");
    }
    return ZeroPadded(IntToBase36(aValue), aWidth);
}

// Copy with the bounds of a 1-based substring: out-of-range parts are simply missing.
Text Part(const Text& aText, std::size_t aPos, std::size_t aLen) {
    return aPos - 1 < aText.size() ? aText.substr(aPos - 1, aLen) : Text();
}

Text Unpacked(const Text& aPart, std::int32_t aDigits) {
    return FormatNumberFixed(Base36ToInt(aPart), aDigits, 0, false, Text());
}

// The packed fields: position and length in the reference, and the digits of their field in the void
// message. Four base-36 characters reach 1679615, more than six digits hold, so a value past its digits
// would be cut and the void would name another payment.
struct PackedField {
    std::size_t Pos;
    std::size_t Len;
    std::int32_t Digits;
};
constexpr PackedField kPackedFields[] = {{1, 4, 6}, {5, 3, 4}, {8, 8, 11}, {16, 6, 8}, {28, 7, 10}};

std::int64_t Limit(std::int32_t aDigits) {
    std::int64_t limit = 1;
    for (std::int32_t i = 0; i < aDigits; ++i) {
        limit *= 10;
    }
    return limit;
}

bool IsBase36Digit(char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

// aText without the blanks around it, when what is left is 1 to aMaxDigits decimal digits.
bool DigitsBetweenBlanks(const Text& aText, std::size_t aMaxDigits, std::int64_t& aValue) {
    const std::size_t first = aText.find_first_not_of(u' ');
    if (first == Text::npos) {
        return false;
    }
    const Text digits = aText.substr(first, aText.find_last_not_of(u' ') - first + 1);
    if (digits.size() > aMaxDigits) {
        return false;
    }
    aValue = 0;
    for (const char16_t c : digits) {
        if (!IsDigit(c)) {
            return false;
        }
        aValue = aValue * 10 + (c - u'0');
    }
    return true;
}

// The last four digits of a card field: blanks, NULs and "-" are layout, not part of the number.
bool LastFourCardDigits(const Text& aCard, std::int64_t& aValue) {
    Text kept;
    for (const char16_t c : aCard) {
        if (c != u' ' && c != u'\0' && c != u'-') {
            kept += c;
        }
    }
    if (kept.size() < 4) {
        return false;
    }
    aValue = 0;
    for (const char16_t c : kept.substr(kept.size() - 4)) {
        if (!IsDigit(c)) {
            return false;
        }
        aValue = aValue * 10 + (c - u'0');
    }
    return true;
}

// A field value for a person: a card number or track data in it masked (these texts reach the host's
// error text and the device log), control characters shown as "?".
Text Shown(const Text& aText) {
    Text shown = MaskCardData(aText);
    for (char16_t& c : shown) {
        c = c < 0x20 || c == 0x7F ? u'?' : c;
    }
    return u"[" + shown + u"]";
}
} // namespace

bool IsVoidableAuthCodeCharacter(char16_t aChar) {
    return (aChar >= 0x20 && aChar <= 0x7E) || (aChar >= 0xA0 && aChar <= 0xFF);
}

Text RefundReferenceOfAnswer(const Text& aStan, const Text& aCard, const Text& aAcquirer, Currency aAmount,
                             const Text& aAuthCode, TDateTime aDateTime, Text& aWhy) {
    aWhy.clear();
    std::int64_t stan = 0, last4 = 0, acquirer = 0;
    if (!DigitsBetweenBlanks(aStan, 6, stan)) {
        aWhy = u"the STAN " + Shown(aStan) + u" is not a number of up to 6 digits";
    } else if (!LastFourCardDigits(aCard, last4)) {
        aWhy = u"the card number " + Shown(aCard) + u" does not end in four digits";
    } else if (!DigitsBetweenBlanks(aAcquirer, 11, acquirer)) {
        aWhy = u"the acquirer " + Shown(aAcquirer) + u" is not a number of up to 11 digits";
    } else if (aAmount.Raw() < 0 || aAmount.Cents() > 99999999) {
        aWhy = u"the amount " + aAmount.ToText() + u" does not fit the 8 digits of a void";
    } else {
        for (const char16_t c : aAuthCode.substr(0, 6)) {
            if (!IsVoidableAuthCodeCharacter(c)) {
                aWhy = u"the authorisation code " + Shown(aAuthCode) + u" holds the character U+" +
                       IntToHex(c, 4) + u", which a void cannot send back";
                return Text();
            }
        }
        try {
            const Text reference = CalcRefundReference(stan, last4, acquirer, aAmount, aAuthCode, aDateTime);
            if (IsWellFormedRefundReference(reference)) {
                return reference;
            }
            aWhy = u"the fields do not fit the 34 characters of a reference";
        } catch (const std::exception& e) {
            aWhy = ExceptionMessage(e);
        }
    }
    return Text();
}

bool RefundReferenceAmount(const Text& aReference, Currency& aAmount) {
    if (!IsWellFormedRefundReference(aReference)) {
        return false;
    }
    aAmount = Currency::FromRaw(Base36ToInt(Part(aReference, 16, 6)) * 100);
    return true;
}

Text CalcRefundReference(std::int64_t aStan, std::int64_t aPanLast4, std::int64_t aAcquirer, Currency aAmount,
                         const Text& aAuthCode, TDateTime aDateTime) {
    // A reference a void would refuse is no reference.
    for (const char16_t c : aAuthCode.substr(0, 6)) {
        if (!IsVoidableAuthCodeCharacter(c)) {
            throw ZrError(u"AuthCode cannot be packed: it holds the character " + IntToText(c) +
                          u", outside 32 to 126 and 160 to 255");
        }
    }
    const DateTimeParts d = DecodeDateTime(aDateTime);
    const std::int64_t date = static_cast<std::int64_t>(d.Day) * 100000000 +
                              static_cast<std::int64_t>(d.Month) * 1000000 +
                              static_cast<std::int64_t>(d.Year % 100) * 10000 + d.Hour * 100 + d.Minute;
    return Packed(aStan, 4, u"STAN") + Packed(aPanLast4, 3, u"PAN") + Packed(aAcquirer, 8, u"IDAcquirer") +
           Packed(aAmount.Raw() / 100, 6, u"Amount") + ZeroPadded(aAuthCode.substr(0, 6), 6) +
           Packed(date, 7, u"TranDate");
}

void DecodeRefundReference(const Text& aReference, Text& aStan, Text& aPan, Text& aAcquirer, Text& aAmount,
                           Text& aAuthCode, Text& aDateTime) {
    const auto field = [&](const PackedField& f) {
        return Unpacked(Part(aReference, f.Pos, f.Len), f.Digits);
    };
    aStan = field(kPackedFields[0]);
    aPan = u"C" + field(kPackedFields[1]);
    aAcquirer = field(kPackedFields[2]);
    aAmount = field(kPackedFields[3]);
    aAuthCode = Part(aReference, 22, 6);
    aDateTime = field(kPackedFields[4]);
}

bool IsWellFormedRefundReference(const Text& aReference) {
    if (aReference.size() != kRefundReferenceLength) {
        return false;
    }
    for (std::size_t i = 0; i < aReference.size(); ++i) {
        const char16_t c = aReference[i];
        const bool authCode = i >= 21 && i < 27;
        if (authCode ? !IsVoidableAuthCodeCharacter(c) : !IsBase36Digit(c)) {
            return false;
        }
    }
    for (const PackedField& f : kPackedFields) {
        if (Base36ToInt(Part(aReference, f.Pos, f.Len)) >= Limit(f.Digits)) {
            return false;
        }
    }
    return true;
}
