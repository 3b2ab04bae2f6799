#include "MessageFields.h"

namespace p17emu {

namespace {
// The header every request begins with (its first group: terminal id, filler, code letter).
std::span<const P17Field> RequestHeader() {
    return P17AllLayouts().front()->Groups.front().Fields;
}

// The answer layout of aRequestCode; for a request without an answer of its own, the reprint answer's,
// which is the header alone.
const P17Layout& AnswerLayoutOf(char aRequestCode) {
    const P17Layout* layout = P17AnswerLayout(aRequestCode);
    return layout != nullptr ? *layout : *P17AnswerLayout('R');
}

bool AllDigits(const std::string& s) {
    return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
}

// The first character (from 0) and width of aField in the request aText of aLayout, the reference and
// what follows it moved as RequestField says.
struct Place {
    std::size_t First;
    std::size_t Width;
};

Place PlaceOf(const P17Layout& aLayout, const P17Field& aField, const std::string& aText) {
    Place place{aField.Position - 1u, aField.Width};
    const P17Field* reference = P17FindField(aLayout, "reference");
    if (reference == nullptr || aText.size() <= aLayout.Length) {
        return place;
    }
    const std::size_t extra = aText.size() - aLayout.Length;
    if (&aField == reference) {
        place.Width += extra;
    } else if (aField.Position > reference->Position) {
        place.First += extra;
    }
    return place;
}

std::string TextAt(const std::string& aText, Place aPlace) {
    return aPlace.First < aText.size() ? aText.substr(aPlace.First, aPlace.Width) : std::string();
}

// True when aValue is what the terminal accepts in aField of a request.
bool Accepts(const P17Field& aField, const std::string& aValue) {
    switch (aField.Kind) {
    case P17FieldKind::Literal:
        return aValue == aField.Literal;
    case P17FieldKind::Digits:
    case P17FieldKind::Cents:
    case P17FieldKind::DayTime:
        return AllDigits(aValue);
    case P17FieldKind::Flag:
        return aValue == "0" || aValue == "1";
    case P17FieldKind::Text:
        // A void names the card by "C" and its last four digits; other texts are the driver's to choose.
        return !P17Is(aField, "card") ||
               (aValue.size() == aField.Width && aValue.starts_with('C') && AllDigits(aValue.substr(1)));
    case P17FieldKind::Code:
    case P17FieldKind::Result:
        return true;
    }
    return false;
}
} // namespace

char CodeOf(const std::string& aText) {
    const std::string letter = P17FieldText(aText, *P17FindField(*P17AllLayouts().front(), "code"));
    return letter.empty() ? '?' : letter[0];
}

std::string RequestField(const std::string& aText, P17Name aName) {
    const P17Layout* layout = P17RequestLayout(CodeOf(aText));
    const P17Field* field = layout == nullptr ? nullptr : P17FindField(*layout, aName);
    return field == nullptr ? std::string() : TextAt(aText, PlaceOf(*layout, *field, aText));
}

std::string AnswerField(char aRequestCode, const std::string& aText, P17Name aName) {
    const P17Field* field = P17FindField(AnswerLayoutOf(aRequestCode), aName);
    return field == nullptr ? std::string() : P17FieldText(aText, *field);
}

std::string RequestProblem(char aCode, const std::string& aText) {
    for (const auto& field : RequestHeader()) {
        if (field.Kind == P17FieldKind::Code ? aText.size() < field.Position
                                             : !Accepts(field, P17FieldText(aText, field))) {
            return "header is not nine zeros and a code letter";
        }
    }
    const P17Layout* layout = P17RequestLayout(aCode);
    if (layout == nullptr) {
        return std::string("unknown request code ") + aCode;
    }
    // Only the payment's reference may be longer than its field.
    const bool mayBeLonger = P17FindField(*layout, "reference") != nullptr;
    if (mayBeLonger ? aText.size() < layout->Length : aText.size() != layout->Length) {
        return "length " + std::to_string(aText.size()) + ", expected " + (mayBeLonger ? "at least " : "") +
               std::to_string(layout->Length);
    }
    for (const auto& group : layout->Groups) {
        for (const auto& field : group.Fields) {
            if (!Accepts(field, TextAt(aText, PlaceOf(*layout, field, aText)))) {
                // The print location request is its flag alone: its problem can say so.
                return aCode == 'E' ? "print flag is neither 0 nor 1" : "a fixed field is not as expected";
            }
        }
    }
    return std::string();
}

AnswerText::AnswerText(char aRequestCode) : fLayout(AnswerLayoutOf(aRequestCode)) {}

AnswerText& AnswerText::Put(P17Name aName, const std::string& aValue) {
    const P17Field* field = P17FindField(fLayout, aName);
    if (field == nullptr) {
        return *this; // a field of another layout: the tests' answer bytes show it missing
    }
    const std::size_t first = field->Position - 1u;
    FillTo(first);
    std::string value = aValue.substr(0, field->Width);
    value.resize(field->Width, ' ');
    fText.replace(first, std::min<std::size_t>(field->Width, fText.size() - first), value);
    return *this;
}

std::string AnswerText::Get(P17Name aName) const {
    const P17Field* field = P17FindField(fLayout, aName);
    return field == nullptr ? std::string() : P17FieldText(fText, *field);
}

AnswerText& AnswerText::Zeros(P17Name aName) {
    const P17Field* field = P17FindField(fLayout, aName);
    return field == nullptr ? *this : Put(aName, std::string(field->Width, '0'));
}

AnswerText& AnswerText::ZerosTo(std::size_t aLength) {
    if (fText.size() < aLength) {
        fText.append(aLength - fText.size(), '0');
    }
    return *this;
}

void AnswerText::FillTo(std::size_t aLength) {
    while (fText.size() < aLength) {
        const std::size_t position = fText.size() + 1u;
        bool covered = false;
        for (const auto& group : fLayout.Groups) {
            for (const auto& field : group.Fields) {
                covered = covered || (position >= field.Position && position < field.Position + field.Width);
            }
        }
        fText += covered ? ' ' : '0';
    }
}

} // namespace p17emu
