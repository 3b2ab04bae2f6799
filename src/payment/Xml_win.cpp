// XML service on MSXML 6 (Msxml2.DOMDocument.6.0) through COM. COM is initialised on the calling thread
// for the lifetime of one document; an apartment that the host already set up is used as it is and left
// alone. The parser never validates, resolves externals or reads a document type declaration.
#include <msxml2.h>
#include <ole2.h>
#include <windows.h>

#include <new>
#include <utility>
#include <vector>

#include "base/ZrError.h"
#include "payment/Xml.h"

namespace {

// IXMLDOMDocument2 (setProperty); the import library does not carry its identifier.
const IID kIID_IXMLDOMDocument2 = {
    0x2933bf95, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};

Text HResultText(HRESULT aResult) {
    return u"0x" + IntToHex(static_cast<unsigned long>(aResult), 8);
}

template <typename T> class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& aOther) noexcept : fPtr(aOther.fPtr) { aOther.fPtr = nullptr; }
    ComPtr& operator=(ComPtr&& aOther) noexcept {
        if (this != &aOther) {
            Reset();
            fPtr = aOther.fPtr;
            aOther.fPtr = nullptr;
        }
        return *this;
    }

    T* operator->() const { return fPtr; }
    T* Get() const { return fPtr; }
    explicit operator bool() const { return fPtr != nullptr; }
    T** Out() {
        Reset();
        return &fPtr;
    }
    void Reset() {
        if (fPtr != nullptr) {
            fPtr->Release();
            fPtr = nullptr;
        }
    }

private:
    T* fPtr = nullptr;
};

class Bstr {
public:
    Bstr() = default;
    explicit Bstr(TextView aText)
        : fValue(SysAllocStringLen(reinterpret_cast<const OLECHAR*>(aText.data()),
                                   static_cast<UINT>(aText.size()))) {
        if (fValue == nullptr) {
            throw std::bad_alloc();
        }
    }
    ~Bstr() { SysFreeString(fValue); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;

    BSTR Get() const { return fValue; }
    BSTR* Out() {
        SysFreeString(fValue);
        fValue = nullptr;
        return &fValue;
    }
    Text ToText() const {
        return fValue == nullptr ? Text()
                                 : Text(reinterpret_cast<const char16_t*>(fValue), SysStringLen(fValue));
    }

private:
    BSTR fValue = nullptr;
};

class Variant {
public:
    Variant() { VariantInit(&fValue); }
    ~Variant() { VariantClear(&fValue); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;

    VARIANT* Out() {
        VariantClear(&fValue);
        return &fValue;
    }
    // The text of a string variant; empty for null and every other kind.
    Text ToText() const {
        if (fValue.vt != VT_BSTR || fValue.bstrVal == nullptr) {
            return Text();
        }
        return Text(reinterpret_cast<const char16_t*>(fValue.bstrVal), SysStringLen(fValue.bstrVal));
    }

private:
    VARIANT fValue;
};

void Check(HRESULT aResult, const char16_t* aWhat) {
    if (FAILED(aResult)) {
        throw ZrError(Text(u"XML: ") + aWhat + u" failed (" + HResultText(aResult) + u")");
    }
}

// COM on this thread for as long as the object lives.
class ComApartment {
public:
    ComApartment() {
        const HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        if (hr == S_OK || hr == S_FALSE) {
            fUninitialize = true; // S_FALSE: already initialised, but the count still went up
        } else if (hr != RPC_E_CHANGED_MODE) {
            // RPC_E_CHANGED_MODE: the host runs this thread in an apartment of its own; use it as it is.
            throw ZrError(u"XML: COM could not be initialised (" + HResultText(hr) + u")");
        }
    }
    ~ComApartment() {
        if (fUninitialize) {
            CoUninitialize();
        }
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool fUninitialize = false;
};

Text NodeName(IXMLDOMNode* aNode) {
    Bstr name;
    Check(aNode->get_nodeName(name.Out()), u"nodeName");
    return name.ToText();
}

DOMNodeType NodeType(IXMLDOMNode* aNode) {
    DOMNodeType type = NODE_INVALID;
    Check(aNode->get_nodeType(&type), u"nodeType");
    return type;
}

ComPtr<IXMLDOMNode> NextSibling(IXMLDOMNode* aNode) {
    ComPtr<IXMLDOMNode> next;
    Check(aNode->get_nextSibling(next.Out()), u"nextSibling");
    return next;
}

ComPtr<IXMLDOMNode> FirstChild(IXMLDOMNode* aNode) {
    ComPtr<IXMLDOMNode> first;
    Check(aNode->get_firstChild(first.Out()), u"firstChild");
    return first;
}

class MsxmlElement final : public XmlListedElement {
public:
    MsxmlElement(ComPtr<IXMLDOMNode> aNode, Text aName) : fNode(std::move(aNode)), fName(std::move(aName)) {}

    Text Name() const override { return NodeName(fNode.Get()); }

    Text GetText() const override {
        const ComPtr<IXMLDOMNode> first = FirstChild(fNode.Get());
        if (!first) {
            return Text();
        }
        const DOMNodeType type = NodeType(first.Get());
        if (NextSibling(first.Get()) || (type != NODE_TEXT && type != NODE_CDATA_SECTION)) {
            throw ZrError(kXmlNoSingleTextNode);
        }
        Variant value;
        Check(first->get_nodeValue(value.Out()), u"nodeValue");
        return value.ToText();
    }

    Text Attribute(TextView aName) const override {
        ComPtr<IXMLDOMElement> element;
        Check(fNode->QueryInterface(IID_IXMLDOMElement, reinterpret_cast<void**>(element.Out())), u"element");
        const Bstr name(aName);
        Variant value;
        Check(element->getAttribute(name.Get(), value.Out()), u"getAttribute");
        return value.ToText();
    }

protected:
    bool HasName(TextView aName) const override { return fName == aName; }

    ElementList ListChildren() const override {
        ElementList children;
        for (ComPtr<IXMLDOMNode> c = FirstChild(fNode.Get()); c;) {
            ComPtr<IXMLDOMNode> next = NextSibling(c.Get());
            if (NodeType(c.Get()) == NODE_ELEMENT) {
                Text name = NodeName(c.Get());
                children.push_back(std::make_unique<MsxmlElement>(std::move(c), std::move(name)));
            }
            c = std::move(next);
        }
        return children;
    }

private:
    ComPtr<IXMLDOMNode> fNode;
    Text fName; // the name it was listed under; the document element's is not needed
};

class MsxmlDocument final : public XmlDocument {
public:
    const XmlElement* Root() const override { return fRoot.get(); }
    void Load(const Text& aXml);

private:
    // Declared in this order so that the elements go first, then the document, and COM is left last.
    ComApartment fApartment;
    ComPtr<IXMLDOMDocument2> fDocument;
    std::unique_ptr<MsxmlElement> fRoot;
};

void SetFlag(IXMLDOMDocument2* aDocument, const wchar_t* aName, bool aValue) {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BOOL;
    value.boolVal = aValue ? VARIANT_TRUE : VARIANT_FALSE;
    const Bstr name(reinterpret_cast<const char16_t*>(aName));
    // A parser that does not know the property keeps its own default; document type declarations never
    // reach it anyway (XmlCheckRequestText).
    aDocument->setProperty(name.Get(), value);
}

void MsxmlDocument::Load(const Text& aXml) {
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(L"Msxml2.DOMDocument.6.0", &clsid);
    if (FAILED(hr)) {
        throw ZrError(u"XML: MSXML 6 (Msxml2.DOMDocument.6.0) is not available (" + HResultText(hr) + u")");
    }
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, kIID_IXMLDOMDocument2,
                          reinterpret_cast<void**>(fDocument.Out()));
    if (FAILED(hr)) {
        throw ZrError(u"XML: MSXML 6 (Msxml2.DOMDocument.6.0) could not be created (" + HResultText(hr) +
                      u")");
    }
    Check(fDocument->put_async(VARIANT_FALSE), u"async");
    Check(fDocument->put_validateOnParse(VARIANT_FALSE), u"validateOnParse");
    Check(fDocument->put_resolveExternals(VARIANT_FALSE), u"resolveExternals");
    // Keep blank text as it is, so no element's text is trimmed.
    Check(fDocument->put_preserveWhiteSpace(VARIANT_TRUE), u"preserveWhiteSpace");
    SetFlag(fDocument.Get(), L"ProhibitDTD", true);
    SetFlag(fDocument.Get(), L"AllowDocumentFunction", false);
    SetFlag(fDocument.Get(), L"AllowXsltScript", false);

    const Bstr xml(aXml);
    VARIANT_BOOL loaded = VARIANT_FALSE;
    hr = fDocument->loadXML(xml.Get(), &loaded);
    if (FAILED(hr) || loaded != VARIANT_TRUE) {
        Text reason;
        ComPtr<IXMLDOMParseError> error;
        if (SUCCEEDED(fDocument->get_parseError(error.Out())) && error) {
            Bstr text;
            if (SUCCEEDED(error->get_reason(text.Out()))) {
                reason = text.ToText();
            }
        }
        while (!reason.empty() &&
               (reason.back() == u'\r' || reason.back() == u'\n' || reason.back() == u' ')) {
            reason.pop_back();
        }
        throw ZrError(reason.empty() ? u"XML: the request is not well-formed (" + HResultText(hr) + u")"
                                     : reason);
    }
    ComPtr<IXMLDOMElement> root;
    Check(fDocument->get_documentElement(root.Out()), u"documentElement");
    if (!root) {
        XmlFailNoDocumentElement(aXml);
    }
    ComPtr<IXMLDOMNode> node;
    Check(root->QueryInterface(IID_IXMLDOMNode, reinterpret_cast<void**>(node.Out())), u"documentElement");
    fRoot = std::make_unique<MsxmlElement>(std::move(node), Text());
}

} // namespace

std::unique_ptr<XmlDocument> XmlDocument::Parse(const Text& aXml) {
    XmlCheckRequestText(aXml);
    auto document = std::make_unique<MsxmlDocument>();
    document->Load(aXml);
    return document;
}
