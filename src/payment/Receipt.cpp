#include "payment/Receipt.h"

#include "base/Formatting.h"
#include "base/ZrError.h"
#include "payment/Xml.h"

namespace {

// Finds the child and converts its text; any error of the XML layer or of the conversion is replaced by
// the wrapped message that names the node and the kind of value.
template <typename T, typename Convert>
T ReadNode(const XmlElement& aNode, TextView aName, TextView aKind, Convert aConvert) {
    try {
        return aConvert(aNode.GetText());
    } catch (const ZrError& e) {
        throw ZrError(u"Error in processing node " + Text(aName) + u" as " + Text(aKind) + u".\r\n" +
                      e.Message());
    }
}

template <typename T, typename Convert>
T ReadChild(const XmlElement& aParent, TextView aName, TextView aKind, T aAbsent, Convert aConvert) {
    const XmlElement* node = aParent.Child(aName);
    return node == nullptr ? aAbsent : ReadNode<T>(*node, aName, aKind, aConvert);
}

int DigitValue(char16_t c, int aBase) {
    int d = 99;
    if (c >= u'0' && c <= u'9') {
        d = c - u'0';
    } else if (c >= u'a' && c <= u'f') {
        d = c - u'a' + 10;
    } else if (c >= u'A' && c <= u'F') {
        d = c - u'A' + 10;
    }
    return d < aBase ? d : -1;
}

} // namespace

bool krptUtil::TryStrToInt(TextView aText, std::int32_t& aOut) {
    std::size_t i = 0;
    bool negative = false;
    if (i < aText.size() && (aText[i] == u'+' || aText[i] == u'-')) {
        negative = aText[i] == u'-';
        ++i;
    }
    int base = 10;
    if (i < aText.size() && aText[i] == u'$') {
        base = 16;
        ++i;
    } else if (i + 1 < aText.size() && aText[i] == u'0' && (aText[i + 1] == u'x' || aText[i + 1] == u'X')) {
        base = 16;
        i += 2;
    }
    if (i >= aText.size()) {
        return false;
    }
    constexpr std::uint64_t kLimit = 0x80000000u; // magnitude of the most negative value
    std::uint64_t magnitude = 0;
    for (; i < aText.size(); ++i) {
        const int d = DigitValue(aText[i], base);
        if (d < 0) {
            return false;
        }
        magnitude = magnitude * static_cast<unsigned>(base) + static_cast<unsigned>(d);
        if (magnitude > kLimit) {
            return false;
        }
    }
    if (!negative && magnitude == kLimit) {
        return false;
    }
    aOut = static_cast<std::int32_t>(negative ? -static_cast<std::int64_t>(magnitude)
                                              : static_cast<std::int64_t>(magnitude));
    return true;
}

std::int32_t krptUtil::StrToInt(TextView aText) {
    std::int32_t value = 0;
    if (!TryStrToInt(aText, value)) {
        throw ZrError(u"'" + CutValue(aText) + u"' is not a valid integer value");
    }
    return value;
}

Text krptUtil::GetNodeValueAsString(const XmlElement& aParentNode, TextView aNodeName) {
    return ReadChild(aParentNode, aNodeName, u"string", Text(), [](Text aText) { return aText; });
}

Text krptUtil::GetOwnValueAsString(const XmlElement& aNode) {
    return ReadNode<Text>(aNode, aNode.Name(), u"string", [](Text aText) { return aText; });
}

bool krptUtil::GetNodeValueAsBoolean(const XmlElement& aParentNode, TextView aNodeName, bool aDefaultValue) {
    return ReadChild(aParentNode, aNodeName, u"boolean", aDefaultValue, [](const Text& aText) {
        double number = 0;
        if (TryTextToFloat(aText, number)) {
            return number != 0;
        }
        if (SameTextAscii(aText, u"true")) {
            return true;
        }
        if (SameTextAscii(aText, u"false")) {
            return false;
        }
        throw ZrError(u"'" + CutValue(aText) + u"' is not a valid boolean value");
    });
}

Currency krptUtil::GetNodeValueAsCurrency(const XmlElement& aParentNode, TextView aNodeName) {
    return ReadChild(aParentNode, aNodeName, u"currency", Currency(), [](const Text& aText) {
        Currency value;
        if (!aText.empty() && !Currency::TryParse(aText, value)) {
            throw ZrError(u"'" + CutValue(aText) + u"' is not a valid floating point value");
        }
        return value;
    });
}

std::int32_t krptUtil::GetNodeValueAsInteger(const XmlElement& aParentNode, TextView aNodeName) {
    return ReadChild(aParentNode, aNodeName, u"integer", std::int32_t{0},
                     [](const Text& aText) { return aText.empty() ? 0 : StrToInt(aText); });
}

TDateTime krptUtil::GetNodeValueAsDateTime(const XmlElement& aParentNode, TextView aNodeName) {
    return ReadChild(aParentNode, aNodeName, u"datetime", TDateTime{0},
                     [](const Text& aText) { return ISOToDateTime(aText); });
}

TDateTime krptUtil::GetNodeValueAsDate(const XmlElement& aParentNode, TextView aNodeName) {
    return ReadChild(aParentNode, aNodeName, u"date", TDateTime{0},
                     [](const Text& aText) { return ISOToDate(aText); });
}

TDateTime krptUtil::TryGetNodeValueAsDateTime(const XmlElement& aParentNode, TextView aNodeName) {
    try {
        return GetNodeValueAsDateTime(aParentNode, aNodeName);
    } catch (const ZrError&) {
        return 0;
    }
}

bool krptUtil::HasNode(const XmlElement& aParentNode, TextView aNodeName) {
    return aParentNode.Child(aNodeName) != nullptr;
}

Text krptUtil::GetAttributeValueAsString(const XmlElement& aNode, TextView aAttrName) {
    return aNode.Attribute(aAttrName);
}
