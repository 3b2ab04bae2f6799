#include "drivers/P17CardData.h"

#include <algorithm>
#include <vector>

#include "drivers/P17Messages.h"

namespace {
constexpr std::size_t kKeptHead = 6;
constexpr std::size_t kKeptTail = 4;
constexpr std::size_t kCardNumberDigits = 12;
constexpr std::size_t kCardNumberMaxDigits = 19;
constexpr std::size_t kTrack1MaxLength = 79;
constexpr std::size_t kTrack2MaxLength = 40;

template <typename C> bool IsDigit(C c) {
    return c >= C('0') && c <= C('9');
}

template <typename C> bool IsSeparator(C c) {
    return c == C(' ') || c == C('-');
}

// Stars the digits of aText[aFirst, aEnd) whose index among them is at least aHead and below their count
// less aTail; nothing when they are zeros only (a zero-filled field is no card number).
template <typename TString>
void StarDigits(TString& aText, std::size_t aFirst, std::size_t aEnd, std::size_t aHead, std::size_t aTail) {
    using C = typename TString::value_type;
    std::size_t count = 0;
    bool zerosOnly = true;
    for (std::size_t i = aFirst; i < aEnd; ++i) {
        if (IsDigit(aText[i])) {
            ++count;
            zerosOnly = zerosOnly && aText[i] == C('0');
        }
    }
    if (zerosOnly || count <= aHead + aTail) {
        return;
    }
    std::size_t index = 0;
    for (std::size_t i = aFirst; i < aEnd; ++i) {
        if (IsDigit(aText[i])) {
            if (index >= aHead && index < count - aTail) {
                aText[i] = C('*');
            }
            ++index;
        }
    }
}

// The number of digits from aAt on, at most one past the longest card number.
template <typename TString> std::size_t DigitsAt(const TString& aText, std::size_t aAt) {
    std::size_t n = 0;
    while (aAt + n < aText.size() && IsDigit(aText[aAt + n]) && n <= kCardNumberMaxDigits) {
        ++n;
    }
    return n;
}

// The end of the track whose card number begins at aDigits, when one begins at aAt ("%B" or "B" before the
// number and "^" after it: track 1; ";" or nothing before it and "=" after it: track 2); else aAt.
template <typename TString> std::size_t TrackEnd(const TString& aText, std::size_t aAt, bool& aTrack1) {
    using C = typename TString::value_type;
    const std::size_t n = aText.size();
    std::size_t digits = aAt;
    aTrack1 = false;
    if (aText[aAt] == C('%') && aAt + 1 < n && aText[aAt + 1] == C('B')) {
        digits = aAt + 2;
        aTrack1 = true;
    } else if (aText[aAt] == C('B')) {
        digits = aAt + 1;
        aTrack1 = true;
    } else if (aText[aAt] == C(';')) {
        digits = aAt + 1;
    } else if (aAt > 0 && IsDigit(aText[aAt - 1])) {
        return aAt; // inside a run of digits: no track begins here
    }
    const std::size_t count = DigitsAt(aText, digits);
    const std::size_t after = digits + count;
    if (count < kCardNumberDigits || count > kCardNumberMaxDigits || after >= n ||
        aText[after] != (aTrack1 ? C('^') : C('='))) {
        return aAt;
    }
    const std::size_t limit = std::min(n, aAt + (aTrack1 ? kTrack1MaxLength : kTrack2MaxLength));
    for (std::size_t i = after; i < limit; ++i) {
        if (aText[i] == C('?')) {
            return i + 1;
        }
    }
    // No end sentinel: the data runs to the first blank after the name (track 1) or to the end of the
    // digits (track 2).
    std::size_t i = after + 1;
    if (aTrack1) {
        while (i < limit && aText[i] != C('^')) {
            ++i;
        }
        while (i < limit && aText[i] > C(' ')) {
            ++i;
        }
    } else {
        while (i < limit && IsDigit(aText[i])) {
            ++i;
        }
    }
    return i;
}

// The end of the run of digits (single blanks or dashes between them) that begins at aAt.
template <typename TString> std::size_t RunEnd(const TString& aText, std::size_t aAt) {
    std::size_t i = aAt;
    while (i < aText.size()) {
        if (IsDigit(aText[i])) {
            ++i;
        } else if (IsSeparator(aText[i]) && i + 1 < aText.size() && IsDigit(aText[i + 1])) {
            ++i;
        } else {
            break;
        }
    }
    return i;
}

template <typename TString>
std::size_t CountDigits(const TString& aText, std::size_t aFirst, std::size_t aEnd) {
    return static_cast<std::size_t>(std::count_if(aText.begin() + static_cast<std::ptrdiff_t>(aFirst),
                                                  aText.begin() + static_cast<std::ptrdiff_t>(aEnd),
                                                  [](auto c) { return IsDigit(c); }));
}

template <typename TString> void MaskInPlace(TString& aText, bool aMayContinue) {
    using C = typename TString::value_type;
    const std::size_t n = aText.size();
    std::size_t i = 0;
    while (i < n) {
        bool track1 = false;
        const std::size_t trackEnd = TrackEnd(aText, i, track1);
        if (trackEnd > i) {
            for (; i < trackEnd; ++i) {
                if (!(track1 && aText[i] == C('^'))) {
                    aText[i] = C('*');
                }
            }
            continue;
        }
        if (!IsDigit(aText[i])) {
            ++i;
            continue;
        }
        const std::size_t end = RunEnd(aText, i);
        // No card number begins with 0: leading zeros fill a field (an amount, a counter), and a number
        // padded with them is counted from its first other digit.
        std::size_t first = i;
        while (first < end && (aText[first] == C('0') || IsSeparator(aText[first]))) {
            ++first;
        }
        // A run at the very end (a separator may still follow) may go on in the next piece.
        const bool open = aMayContinue && (end == n || (end + 1 == n && IsSeparator(aText[end])));
        if (open) {
            StarDigits(aText, first, end, kKeptHead, 0);
        } else if (CountDigits(aText, first, end) >= kCardNumberDigits) {
            StarDigits(aText, first, end, kKeptHead, kKeptTail);
        }
        i = end;
    }
}

// The answer to aRequestCode by its layout (see P17MaskTerminalMessage).
template <typename TString> TString MaskAnswer(const P17Layout& aLayout, const TString& aPayload, bool aCut) {
    // What each position holds: the card field, free text (the terminal's descriptions, and whatever the
    // answer does not read: a refusal's card field, positions past the layout), or a value left as it is.
    enum class Holds : unsigned char { FreeText, Card, Value };
    TString out = aPayload;
    std::vector<Holds> holds(out.size(), Holds::FreeText);
    const P17AnswerKey key = P17KeyOf(aLayout, aPayload);
    for (const auto& group : aLayout.Groups) {
        if (!P17IsRead(group.When, key.Result, key.Code, key.Conversion)) {
            continue;
        }
        for (const auto& field : group.Fields) {
            const std::size_t first = std::min<std::size_t>(field.Position - 1u, out.size());
            const std::size_t end = std::min<std::size_t>(first + field.Width, out.size());
            const Holds what = P17Is(field, "card") ? Holds::Card
                               : field.Kind == P17FieldKind::Text && field.Width >= kCardNumberDigits
                                   ? Holds::FreeText
                                   : Holds::Value;
            std::fill(holds.begin() + static_cast<std::ptrdiff_t>(first),
                      holds.begin() + static_cast<std::ptrdiff_t>(end), what);
        }
    }
    // Free text that runs on across fields is masked as one text: a number may cross a field's end.
    std::size_t i = 0;
    while (i < out.size()) {
        std::size_t end = i;
        while (end < out.size() && holds[end] == holds[i]) {
            ++end;
        }
        // What a message cut short has at its end may be the start of a number: its first six digits only.
        const bool open = aCut && end == out.size();
        if (holds[i] == Holds::Card) {
            StarDigits(out, i, end, kKeptHead, open ? 0 : kKeptTail);
        } else if (holds[i] == Holds::FreeText) {
            out.replace(i, end - i, MaskCardData(out.substr(i, end - i), open));
        }
        i = end;
    }
    return out;
}
} // namespace

template <typename TString> TString MaskCardNumber(const TString& aField) {
    TString out = aField;
    StarDigits(out, 0, out.size(), kKeptHead, kKeptTail);
    return out;
}

template <typename TString> TString MaskCardData(const TString& aText, bool aMayContinue) {
    TString out = aText;
    MaskInPlace(out, aMayContinue);
    return out;
}

template <typename TString>
TString MaskCardDataAfter(const TString& aBefore, const TString& aText, bool aMayContinue) {
    const std::size_t keep = std::min(aBefore.size(), kCardDataContext);
    TString all = aBefore.substr(aBefore.size() - keep) + aText;
    MaskInPlace(all, aMayContinue);
    return all.substr(keep);
}

template <typename TString>
TString P17MaskTerminalMessage(const TString& aPayload, bool aCut, char aRequestCode, bool aReceipt,
                               const TString& aBefore) {
    using C = typename TString::value_type;
    const P17Layout& receipt = P17ReceiptLayout();
    const std::size_t header = P17FindField(receipt, "text")->Position - 1u;
    const TString code = P17FieldText(aPayload, *P17FindField(receipt, "code"));
    if (aReceipt || code == TString(1, C(receipt.Code))) {
        return aPayload.size() <= header
                   ? aPayload
                   : aPayload.substr(0, header) + MaskCardDataAfter(aBefore, aPayload.substr(header), true);
    }
    const P17Layout* layout = P17AnswerLayout(aRequestCode);
    return layout == nullptr ? MaskCardData(aPayload, aCut) : MaskAnswer(*layout, aPayload, aCut);
}

template std::string MaskCardNumber(const std::string&);
template std::u16string MaskCardNumber(const std::u16string&);
template std::string MaskCardData(const std::string&, bool);
template std::u16string MaskCardData(const std::u16string&, bool);
template std::string MaskCardDataAfter(const std::string&, const std::string&, bool);
template std::u16string MaskCardDataAfter(const std::u16string&, const std::u16string&, bool);
template std::string P17MaskTerminalMessage(const std::string&, bool, char, bool, const std::string&);
template std::u16string P17MaskTerminalMessage(const std::u16string&, bool, char, bool,
                                               const std::u16string&);
