#include "payment/Xml.h"

#include "base/ZrError.h"

const XmlElement* XmlListedElement::Child(TextView aName) const {
    for (const auto& element : Elements()) {
        if (element->HasName(aName)) {
            return element.get();
        }
    }
    return nullptr;
}

std::vector<const XmlElement*> XmlListedElement::Children() const {
    std::vector<const XmlElement*> out;
    out.reserve(Elements().size());
    for (const auto& element : Elements()) {
        out.push_back(element.get());
    }
    return out;
}

const XmlListedElement::ElementList& XmlListedElement::Elements() const {
    if (!fListed) {
        fElements = ListChildren();
        fListed = true;
    }
    return fElements;
}

namespace {
bool IsXmlBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

bool IsXmlChar(char16_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD);
}

void RejectInvalidCharacters(TextView aXml) {
    for (std::size_t i = 0; i < aXml.size(); ++i) {
        const char16_t c = aXml[i];
        if (c >= 0x20 && c < 0xD800) {
            continue;
        }
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < aXml.size() && aXml[i + 1] >= 0xDC00 &&
            aXml[i + 1] <= 0xDFFF) {
            ++i;
        } else if (!IsXmlChar(c) && !(i == 0 && c == 0xFEFF)) {
            XmlFailAt(u"Invalid character U+" + IntToHex(c, 4), aXml, i);
        }
    }
}

bool StartsWithNoCase(TextView aText, std::size_t aPos, TextView aPrefix) {
    return aText.size() - aPos >= aPrefix.size() &&
           SameTextAscii(aText.substr(aPos, aPrefix.size()), aPrefix);
}

// The prolog holds only blanks, the XML declaration, processing instructions, comments and the document
// type declaration. Anything else ends the scan; the parser judges the rest.
void RejectDocumentType(TextView aXml) {
    std::size_t i = (!aXml.empty() && aXml[0] == u'\uFEFF') ? 1 : 0;
    while (i < aXml.size()) {
        if (IsXmlBlank(aXml[i])) {
            ++i;
        } else if (aXml.substr(i).starts_with(u"<?")) {
            const auto end = aXml.find(u"?>", i + 2);
            if (end == TextView::npos) {
                return;
            }
            i = end + 2;
        } else if (aXml.substr(i).starts_with(u"<!--")) {
            const auto end = aXml.find(u"-->", i + 4);
            if (end == TextView::npos) {
                return;
            }
            i = end + 3;
        } else if (StartsWithNoCase(aXml, i, u"<!DOCTYPE")) {
            XmlFailAt(u"A document type declaration (DOCTYPE) is not allowed in a request", aXml, i);
        } else {
            return;
        }
    }
}
} // namespace

void XmlFailAt(const Text& aWhat, TextView aXml, std::size_t aPos) {
    std::size_t line = 1;
    std::size_t column = 1;
    for (std::size_t i = 0; i < aPos && i < aXml.size(); ++i) {
        if (aXml[i] == u'\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    throw ZrError(aWhat + u" (line " + UIntToText(line) + u", column " + UIntToText(column) + u")");
}

void XmlFailNoDocumentElement(TextView aXml) {
    std::size_t first = 0;
    std::size_t end = aXml.size();
    while (first < end && IsXmlBlank(aXml[first])) {
        ++first;
    }
    while (end > first && IsXmlBlank(aXml[end - 1])) {
        --end;
    }
    if (first == end) {
        throw ZrError(u"No document element found");
    }
    // A host that sent plain text sees what it sent; line breaks are shown, never written to the log.
    throw ZrError(u"No document element found in [" +
                  CutValue(ControlCharactersShown(aXml.substr(first, end - first))) + u"]");
}

void XmlCheckRequestText(TextView aXml) {
    RejectInvalidCharacters(aXml);
    RejectDocumentType(aXml);
}
