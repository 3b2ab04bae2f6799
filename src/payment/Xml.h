#pragma once
// The small XML service the request reader needs: parse a text, find direct children by exact name,
// read an element's text, read attributes. pugixml on POSIX, MSXML 6 on Windows.
#include <memory>

#include "base/Text.h"

class XmlElement {
public:
    virtual ~XmlElement() = default;
    virtual Text Name() const = 0;
    // First direct child element of that exact name (case-sensitive), or null.
    virtual const XmlElement* Child(TextView aName) const = 0;
    // Every direct child element, in document order.
    virtual std::vector<const XmlElement*> Children() const = 0;
    // The element's text: empty without content, the single text or CDATA section exactly; raises
    // ZrError when the element holds child elements or more than one content node.
    virtual Text GetText() const = 0;
    // The attribute's value, empty when absent.
    virtual Text Attribute(TextView aName) const = 0;
};

class XmlDocument {
public:
    virtual ~XmlDocument() = default;
    // Raises ZrError with the parser's message when aXml is not well-formed. Never resolves external
    // entities or expands DTD entity definitions.
    static std::unique_ptr<XmlDocument> Parse(const Text& aXml);
    // Null for an empty document.
    virtual const XmlElement* Root() const = 0;
};
