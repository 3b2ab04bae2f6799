#include "drivers/P17MessageText.h"

#include <vector>

#include "base/ZrError.h"

namespace {
const P17Layout& Known(const P17Layout* aLayout, char aCode) {
    if (aLayout == nullptr) {
        throw ZrError(u"No message layout for the code " + BytesToText(std::string(1, aCode)));
    }
    return *aLayout;
}

const P17Field& FieldOf(const P17Layout& aLayout, P17Name aName) {
    const P17Field* field = P17FindField(aLayout, aName);
    if (field == nullptr) {
        throw ZrError(u"The " + BytesToText(aLayout.Name) + u" has no field " + BytesToText(aName.View()));
    }
    return *field;
}
} // namespace

Text P17RequestText(char aCode, std::initializer_list<P17TextValue> aValues) {
    std::vector<P17Value> values;
    values.reserve(aValues.size());
    for (const auto& v : aValues) {
        values.push_back({v.Name, TextToBytes(v.Value)});
    }
    return BytesToText(P17Build(Known(P17RequestLayout(aCode), aCode), values));
}

const P17Field& P17RequestField(char aCode, P17Name aName) {
    return FieldOf(Known(P17RequestLayout(aCode), aCode), aName);
}

Text BreakReceiptLines(TextView aText) {
    Text out;
    for (const auto& line : P17ReceiptLines(TextToBytes(aText))) {
        out += BytesToText(line);
        out += u"\r\n";
    }
    return out;
}

kP17Answer::kP17Answer(char aRequestCode, const Text& aPayload)
    : fLayout(Known(P17AnswerLayout(aRequestCode), aRequestCode)), fPayload(aPayload),
      fKey(P17KeyOf(fLayout, aPayload)) {}

Text kP17Answer::operator[](P17Name aName) const {
    return P17FieldText(fPayload, FieldOf(fLayout, aName));
}

bool kP17Answer::Reads(P17Name aName) const {
    FieldOf(fLayout, aName);
    return P17Reads(fLayout, aName, fKey);
}
