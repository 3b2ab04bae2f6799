#pragma once
// The small XML service the request reader needs: parse a text, find direct children by exact name,
// read an element's text, read attributes. pugixml on POSIX, MSXML 6 on Windows.
//
// Elements belong to their document: a pointer returned by Root, Child or Children stays valid as long
// as the document lives. A document is used by one thread at a time.
#include <memory>
#include <vector>

#include "base/Text.h"

class XmlElement {
public:
    virtual ~XmlElement() = default;
    virtual Text Name() const = 0;
    // First direct child element of that exact name (case-sensitive), or null.
    virtual const XmlElement* Child(TextView aName) const = 0;
    // Every direct child element, in document order.
    virtual std::vector<const XmlElement*> Children() const = 0;
    // The element's text: empty without content, the single text or CDATA section exactly (no
    // trimming); raises ZrError(kXmlNoSingleTextNode) when the element holds child elements or more
    // than one content node (comments and processing instructions count as content nodes).
    virtual Text GetText() const = 0;
    // The attribute's value, empty when absent.
    virtual Text Attribute(TextView aName) const = 0;
};

// What both adapters share: the child elements of an element are listed once, on first use, so every
// later lookup is a plain search and the same child is always the same object.
class XmlListedElement : public XmlElement {
public:
    const XmlElement* Child(TextView aName) const final;
    std::vector<const XmlElement*> Children() const final;

protected:
    using ElementList = std::vector<std::unique_ptr<XmlListedElement>>;
    // True when the element's name is exactly aName (case-sensitive).
    virtual bool HasName(TextView aName) const = 0;
    // Every direct child element, in document order. Called once.
    virtual ElementList ListChildren() const = 0;

private:
    const ElementList& Elements() const;

    mutable bool fListed = false;
    mutable ElementList fElements;
};

class XmlDocument {
public:
    virtual ~XmlDocument() = default;
    // Raises ZrError with the parser's message when aXml is not well-formed, and rejects any document
    // type declaration: nothing is ever resolved, loaded or expanded, whatever the request holds.
    static std::unique_ptr<XmlDocument> Parse(const Text& aXml);
    // The document element; never null for a parsed document.
    virtual const XmlElement* Root() const = 0;
};

// The XML layer's message for an element that has no single text node.
inline constexpr char16_t kXmlNoSingleTextNode[] = u"Element does not contain a single text node";

// Checks that both adapters run before their parser: raises ZrError for a character that XML does not
// allow (U+0000 included, which some parsers take for the end of the text) and for a document type
// declaration in the prolog, so such a request fails the same way everywhere and no DTD ever reaches a
// parser.
void XmlCheckRequestText(TextView aXml);
// Raises ZrError(aWhat + " (line L, column C)") for the position aPos of aXml.
[[noreturn]] void XmlFailAt(const Text& aWhat, TextView aXml, std::size_t aPos);
// Raises ZrError("No document element found") for a request of blanks only; otherwise the text names
// what the request holds in place of a document: "No document element found in [PAY 12.34 EUR]".
[[noreturn]] void XmlFailNoDocumentElement(TextView aXml);
