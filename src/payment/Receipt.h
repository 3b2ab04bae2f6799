#pragma once
// krptUtil: the readers of request values. Each takes a parent element and a child name, finds the first
// direct child of exactly that name and converts its text. An absent child gives the reader's default;
// a failure raises ZrError "Error in processing node <name> as <kind>." CR LF <underlying message>.
#include <cstdint>

#include "base/Currency.h"
#include "base/DateTime.h"
#include "base/Text.h"

class XmlElement;

class krptUtil {
public:
    krptUtil() = delete;

    // Absent or empty: empty text.
    static Text GetNodeValueAsString(const XmlElement& aParentNode, TextView aNodeName);
    // The text of aNode itself, with the same error as GetNodeValueAsString.
    static Text GetOwnValueAsString(const XmlElement& aNode);
    // A number under the host's decimal separator is true unless zero; otherwise True/False in any case.
    // Absent: aDefaultValue; empty: error.
    static bool GetNodeValueAsBoolean(const XmlElement& aParentNode, TextView aNodeName, bool aDefaultValue);
    // "." decimal point whatever the locale, rounded to four decimals. Absent or empty: 0.
    static Currency GetNodeValueAsCurrency(const XmlElement& aParentNode, TextView aNodeName);
    // Decimal, or hexadecimal after "$" or "0x"; must fit in 32 bits. Absent or empty: 0.
    static std::int32_t GetNodeValueAsInteger(const XmlElement& aParentNode, TextView aNodeName);
    // "yyyy-mm-ddThh:nn:ss" with optional ".zzz". Absent: 0; empty: error.
    static TDateTime GetNodeValueAsDateTime(const XmlElement& aParentNode, TextView aNodeName);
    // The date part only ("yyyy-mm-dd"). Absent: 0; empty: error.
    static TDateTime GetNodeValueAsDate(const XmlElement& aParentNode, TextView aNodeName);
    // GetNodeValueAsDateTime, with 0 instead of any error.
    static TDateTime TryGetNodeValueAsDateTime(const XmlElement& aParentNode, TextView aNodeName);
    static bool HasNode(const XmlElement& aParentNode, TextView aNodeName);
    // The attribute of aNode itself; empty when absent.
    static Text GetAttributeValueAsString(const XmlElement& aNode, TextView aAttrName);

    // The integer syntax of GetNodeValueAsInteger; false for anything else.
    static bool TryStrToInt(TextView aText, std::int32_t& aOut);
    // Raises ZrError "'" + aText + "' is not a valid integer value".
    static std::int32_t StrToInt(TextView aText);
};
