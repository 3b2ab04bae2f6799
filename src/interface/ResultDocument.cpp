#include "interface/ResultDocument.h"

#include "base/Formatting.h"

void tZR_ResultDocument::AddText(TextView aName, const Text& aValue) {
    AddElement(aName, EscapeXml(aValue));
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
    if (!fDocument.empty()) {
        fDocument += u"\r\n";
    }
    fDocument += u'<';
    fDocument += aName;
    fDocument += u'>';
    fDocument += aValue;
    fDocument += u"</";
    fDocument += aName;
    fDocument += u'>';
}

Text tZR_ResultDocument::EscapeXml(TextView aText) {
    // One pass gives the same text as the five replacements in sequence, because only "&" is ever
    // introduced by a replacement and it is replaced first.
    Text out;
    out.reserve(aText.size());
    for (const char16_t c : aText) {
        switch (c) {
        case u'&':
            out += u"&amp;";
            break;
        case u'<':
            out += u"&lt;";
            break;
        case u'>':
            out += u"&gt;";
            break;
        case u'"':
            out += u"&quot;";
            break;
        case u'\'':
            out += u"&apos;";
            break;
        default:
            out += c;
            break;
        }
    }
    return out;
}
