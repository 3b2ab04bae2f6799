// XML service on pugixml. pugixml never loads external resources and never expands DTD entities; it is
// also lenient where MSXML is strict, so after a successful parse the input is checked for the faults
// pugixml lets through, and both platforms reject the same documents.
#include <pugixml.hpp>

#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "base/ZrError.h"
#include "payment/Xml.h"

namespace {

// Comments and processing instructions are kept as nodes (as in MSXML) so that an element's text is the
// same on both platforms; blank text is kept so that no text is trimmed.
constexpr unsigned kParseOptions =
    pugi::parse_default | pugi::parse_ws_pcdata | pugi::parse_comments | pugi::parse_pi;

// The position in aXml of the character that starts at byte aUtf8Offset of its UTF-8 form.
std::size_t Utf16Position(TextView aXml, std::ptrdiff_t aUtf8Offset) {
    std::ptrdiff_t bytes = 0;
    std::size_t i = 0;
    while (i < aXml.size() && bytes < aUtf8Offset) {
        const char16_t c = aXml[i];
        const bool pair = c >= 0xD800 && c <= 0xDBFF && i + 1 < aXml.size() && aXml[i + 1] >= 0xDC00 &&
                          aXml[i + 1] <= 0xDFFF;
        bytes += c < 0x80 ? 1 : c < 0x800 ? 2 : pair ? 4 : 3;
        i += pair ? 2 : 1;
    }
    return i;
}

// aUtf8 (a node name) equals aName; without converting either in the usual all-ASCII case.
bool SameName(const char* aUtf8, TextView aName) {
    std::size_t i = 0;
    for (; i < aName.size(); ++i) {
        const auto b = static_cast<unsigned char>(aUtf8[i]);
        const char16_t c = aName[i];
        if (b >= 0x80 || c >= 0x80) {
            return Utf8ToText(aUtf8) == aName;
        }
        if (b == 0 || b != c) {
            return false;
        }
    }
    return aUtf8[i] == 0;
}

class PugiElement final : public XmlListedElement {
public:
    explicit PugiElement(pugi::xml_node aNode) : fNode(aNode) {}

    Text Name() const override { return Utf8ToText(fNode.name()); }

    Text GetText() const override {
        const pugi::xml_node first = fNode.first_child();
        if (!first) {
            return Text();
        }
        if (first.next_sibling() || (first.type() != pugi::node_pcdata && first.type() != pugi::node_cdata)) {
            throw ZrError(kXmlNoSingleTextNode);
        }
        return Utf8ToText(first.value());
    }

    Text Attribute(TextView aName) const override {
        return Utf8ToText(fNode.attribute(TextToUtf8(aName).c_str()).value());
    }

protected:
    bool HasName(TextView aName) const override { return SameName(fNode.name(), aName); }

    ElementList ListChildren() const override {
        ElementList children;
        for (pugi::xml_node c = fNode.first_child(); c; c = c.next_sibling()) {
            if (c.type() == pugi::node_element) {
                children.push_back(std::make_unique<PugiElement>(c));
            }
        }
        return children;
    }

private:
    pugi::xml_node fNode;
};

class PugiDocument final : public XmlDocument {
public:
    const XmlElement* Root() const override { return fRoot.get(); }

    pugi::xml_document fDocument;
    std::unique_ptr<PugiElement> fRoot; // after fDocument: the wrappers go first
};

// --- the checks pugixml leaves out --------------------------------------------------------------------

class StrictCheck {
public:
    explicit StrictCheck(TextView aXml) : fXml(aXml) {}

    // Characters were checked before parsing; this looks at references and at the top level.
    void Run() const { CheckStructure(); }

private:
    [[noreturn]] void Fail(const Text& aWhat, std::size_t aPos) const { XmlFailAt(aWhat, fXml, aPos); }

    static bool IsXmlChar(std::uint32_t c) {
        return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
               (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
    }

    static bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

    // "<?xml" followed by a blank or "?>", in any case: the target name "xml" is reserved for it.
    static bool IsXmlDeclaration(TextView aRest) {
        if (aRest.size() < 6) {
            return false;
        }
        const auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; };
        return lower(aRest[2]) == u'x' && lower(aRest[3]) == u'm' && lower(aRest[4]) == u'l' &&
               (IsBlank(aRest[5]) || aRest[5] == u'?');
    }

    std::size_t DeclarationPosition() const { return !fXml.empty() && fXml[0] == 0xFEFF ? 1 : 0; }

    // Index just past aEnd searched from aFrom; the end of the text when absent.
    std::size_t Skip(std::size_t aFrom, TextView aEnd) const {
        const auto p = fXml.find(aEnd, aFrom);
        return p == TextView::npos ? fXml.size() : p + aEnd.size();
    }

    // A reference at aPos ("&..."): only the predefined entities and references to valid characters,
    // since no document type can define others.
    std::size_t CheckReference(std::size_t aPos) const {
        // A name longer than this cannot be one of the five; the message shows only its start.
        constexpr std::size_t kLongest = 32;
        const auto end = fXml.substr(aPos, kLongest + 2).find(u';');
        if (end == TextView::npos) {
            Fail(u"Reference to undefined entity '" + Text(fXml.substr(aPos, kLongest)) + u"'", aPos);
        }
        const std::size_t semi = aPos + end;
        const TextView body = fXml.substr(aPos + 1, end - 1);
        if (body == u"amp" || body == u"lt" || body == u"gt" || body == u"quot" || body == u"apos") {
            return semi + 1;
        }
        if (body.size() >= 2 && body[0] == u'#') {
            const bool hex = body[1] == u'x';
            std::uint32_t value = 0;
            bool ok = body.size() > (hex ? 2u : 1u);
            for (std::size_t k = hex ? 2 : 1; ok && k < body.size(); ++k) {
                const char16_t d = body[k];
                std::uint32_t digit = 0;
                if (d >= u'0' && d <= u'9') {
                    digit = d - u'0';
                } else if (hex && d >= u'a' && d <= u'f') {
                    digit = d - u'a' + 10;
                } else if (hex && d >= u'A' && d <= u'F') {
                    digit = d - u'A' + 10;
                } else {
                    ok = false;
                    break;
                }
                value = value * (hex ? 16 : 10) + digit;
                ok = value <= 0x10FFFF;
            }
            if (!ok || !IsXmlChar(value)) {
                Fail(u"Invalid character reference '&" + Text(body) + u";'", aPos);
            }
            return semi + 1;
        }
        Fail(u"Reference to undefined entity '&" + Text(body) + u";'", aPos);
    }

    // A start tag at aPos; returns the index after its ">" and whether it closes itself.
    // pugixml keeps both of two attributes of one name; MSXML refuses the document.
    std::size_t CheckStartTag(std::size_t aPos, bool& aEmpty) const {
        char16_t quote = 0;
        TextView firstName;                 // most tags have one attribute at most: no set for them
        std::unordered_set<TextView> names; // from the second attribute on
        for (std::size_t i = aPos + 1; i < fXml.size(); ++i) {
            const char16_t c = fXml[i];
            if (quote != 0) {
                if (c == quote) {
                    quote = 0;
                } else if (c == u'<') {
                    Fail(u"'<' is not allowed in an attribute value", i);
                } else if (c == u'&') {
                    i = CheckReference(i) - 1;
                }
            } else if (c == u'"' || c == u'\'') {
                quote = c;
            } else if (c == u'=') {
                const TextView name = NameBefore(aPos + 1, i);
                if (firstName.empty()) {
                    firstName = name;
                } else {
                    if (names.empty()) {
                        names.insert(firstName);
                    }
                    if (!names.insert(name).second) {
                        Fail(u"Attribute '" + Text(name) + u"' is repeated", i);
                    }
                }
            } else if (c == u'>') {
                aEmpty = fXml[i - 1] == u'/';
                return i + 1;
            }
        }
        aEmpty = true;
        return fXml.size();
    }

    // The attribute name that ends before the "=" at aEquals (blanks between them allowed).
    TextView NameBefore(std::size_t aFrom, std::size_t aEquals) const {
        std::size_t end = aEquals;
        while (end > aFrom && IsBlank(fXml[end - 1])) {
            --end;
        }
        std::size_t start = end;
        while (start > aFrom && !IsBlank(fXml[start - 1]) && fXml[start - 1] != u'"' &&
               fXml[start - 1] != u'\'') {
            --start;
        }
        return fXml.substr(start, end - start);
    }

    void CheckStructure() const {
        std::size_t depth = 0;
        std::size_t roots = 0;
        std::size_t i = 0;
        while (i < fXml.size()) {
            const char16_t c = fXml[i];
            if (c == u'<') {
                const TextView rest = fXml.substr(i);
                if (rest.starts_with(u"<!--")) {
                    // "--" may only close the comment.
                    const auto dashes = fXml.find(u"--", i + 4);
                    if (dashes != TextView::npos && !fXml.substr(dashes).starts_with(u"-->")) {
                        Fail(u"'--' is not allowed inside a comment", dashes);
                    }
                    i = dashes == TextView::npos ? fXml.size() : dashes + 3;
                } else if (rest.starts_with(u"<![CDATA[")) {
                    if (depth == 0) {
                        Fail(u"Text is not allowed outside the document element", i);
                    }
                    i = Skip(i + 9, u"]]>");
                } else if (rest.starts_with(u"<?")) {
                    if (IsXmlDeclaration(rest) && i != DeclarationPosition()) {
                        Fail(u"The XML declaration is allowed only at the start of the document", i);
                    }
                    i = Skip(i + 2, u"?>");
                } else if (rest.starts_with(u"</")) {
                    depth = depth > 0 ? depth - 1 : 0;
                    i = Skip(i + 2, u">");
                } else if (rest.starts_with(u"<!")) {
                    // A document type declaration after the root, or a declaration only a DTD may hold.
                    Fail(u"A document type declaration (DOCTYPE) is not allowed in a request", i);
                } else {
                    if (depth == 0 && ++roots > 1) {
                        Fail(u"Only one top level element is allowed", i);
                    }
                    bool empty = false;
                    i = CheckStartTag(i, empty);
                    if (!empty) {
                        ++depth;
                    }
                }
            } else if (c == u'&') {
                if (depth == 0) {
                    Fail(u"Text is not allowed outside the document element", i);
                }
                i = CheckReference(i);
            } else {
                if (depth == 0 && !IsBlank(c) && !(i == 0 && c == 0xFEFF)) {
                    Fail(u"Text is not allowed outside the document element", i);
                }
                if (c == u']' && fXml.substr(i).starts_with(u"]]>")) {
                    Fail(u"']]>' is not allowed in text", i);
                }
                ++i;
            }
        }
    }

    TextView fXml;
};

} // namespace

std::unique_ptr<XmlDocument> XmlDocument::Parse(const Text& aXml) {
    XmlCheckRequestText(aXml);
    auto document = std::make_unique<PugiDocument>();
    const pugi::xml_parse_result result = document->fDocument.load_buffer(
        aXml.data(), aXml.size() * sizeof(char16_t), kParseOptions, pugi::encoding_utf16);
    if (!result) {
        if (result.status == pugi::status_no_document_element) {
            XmlFailNoDocumentElement(aXml);
        }
        // pugixml's texts carry no position, unlike the other faults' texts: the offset where it
        // stopped, counted in the UTF-8 bytes of its own copy, gives it.
        XmlFailAt(Utf8ToText(result.description()), aXml, Utf16Position(aXml, result.offset));
    }
    StrictCheck(aXml).Run();
    if (!document->fDocument.document_element()) {
        XmlFailNoDocumentElement(aXml);
    }
    document->fRoot = std::make_unique<PugiElement>(document->fDocument.document_element());
    return document;
}
