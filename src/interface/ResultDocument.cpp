#include "interface/ResultDocument.h"

#include "base/Formatting.h"

void tZR_ResultDocument::AddText(TextView aName, const Text& aValue) {
    // Terminals send control characters in receipts and fields; a strict parser would refuse them.
    OpenElement(aName);
    AppendXmlText(fDocument, aValue);
    CloseElement(aName);
}

void tZR_ResultDocument::AddAmount(TextView aName, Currency aValue) {
    AddElement(aName, aValue.ToText());
}

void tZR_ResultDocument::AddInteger(TextView aName, std::int32_t aValue) {
    AddElement(aName, IntToText(aValue));
}

void tZR_ResultDocument::AddFlag(TextView aName, bool aValue) {
    AddElement(aName, aValue ? u"True" : u"False");
}

void tZR_ResultDocument::AddDateTime(TextView aName, TDateTime aValue) {
    AddElement(aName, DateTimeToISO(aValue, false));
}

void tZR_ResultDocument::AddElement(TextView aName, TextView aValue) {
    OpenElement(aName);
    fDocument += aValue;
    CloseElement(aName);
}

void tZR_ResultDocument::OpenElement(TextView aName) {
    if (fDocument.empty()) {
        // A payment's document with its receipt: grown once or twice instead of a dozen times.
        fDocument.reserve(2048);
    } else {
        fDocument += u"\r\n";
    }
    fDocument += u'<';
    fDocument += aName;
    fDocument += u'>';
}

void tZR_ResultDocument::CloseElement(TextView aName) {
    fDocument += u"</";
    fDocument += aName;
    fDocument += u'>';
}

Text tZR_ResultDocument::EscapeXml(TextView aText) {
    return XmlEscaped(aText);
}
