#include "io/Connection.h"

#include "base/ZrError.h"

namespace {
struct TypeName {
    zrConnectionType fValue;
    const char16_t* fText; // the written (upper-case) form
};
constexpr TypeName kTypeNames[] = {
    {zrConnectionType::OPOS, u"OPOS"},     {zrConnectionType::TCP, u"TCP"}, {zrConnectionType::HTTP, u"HTTP"},
    {zrConnectionType::Serial, u"SERIAL"}, {zrConnectionType::DLL, u"DLL"}, {zrConnectionType::Com, u"COM"},
    {zrConnectionType::Spool, u"SPOOL"},
};

struct ParityName {
    zrParity fValue;
    const char16_t* fText;
};
constexpr ParityName kParityNames[] = {
    {zrParity::None, u"NONE"}, {zrParity::Even, u"EVEN"}, {zrParity::Odd, u"ODD"}};

struct AuthName {
    zrHTTPAuthType fValue;
    const char16_t* fText;
};
constexpr AuthName kAuthNames[] = {{zrHTTPAuthType::at_None, u"NONE"},
                                   {zrHTTPAuthType::at_Basic, u"BASIC"},
                                   {zrHTTPAuthType::at_Digest, u"DIGEST"},
                                   {zrHTTPAuthType::at_Bearer, u"BEARER"}};

// Reading compares the lower-cased text with the lower-cased forms; both are ASCII.
template <typename Table, typename Value> bool Find(const Table& aTable, const Text& aText, Value& aOut) {
    const Text lower = LowerCase(aText);
    for (const auto& entry : aTable) {
        if (lower == LowerCase(entry.fText)) {
            aOut = entry.fValue;
            return true;
        }
    }
    return false;
}

template <typename Table, typename Value> Text Name(const Table& aTable, Value aValue) {
    for (const auto& entry : aTable) {
        if (entry.fValue == aValue) {
            return entry.fText;
        }
    }
    return Text();
}
} // namespace

zrConnectionType kConnection::ConvertConnectionType(const Text& aText) {
    zrConnectionType value{};
    if (!Find(kTypeNames, aText, value)) {
        throw ZrError(u"Connection Type " + CutValue(aText) + u" is not valid");
    }
    return value;
}

Text kConnection::ConnectionTypeToString(zrConnectionType aValue) {
    return Name(kTypeNames, aValue);
}

zrParity kConnection::ConvertParity(const Text& aText) {
    zrParity value{};
    if (!Find(kParityNames, aText, value)) {
        throw ZrError(u"Connection Parity " + CutValue(aText) + u" is not valid");
    }
    return value;
}

Text kConnection::ParityToString(zrParity aValue) {
    return Name(kParityNames, aValue);
}

zrHTTPAuthType kConnection::ConvertAuthType(const Text& aText) {
    zrHTTPAuthType value = zrHTTPAuthType::at_None;
    Find(kAuthNames, aText, value);
    return value;
}

Text kConnection::AuthTypeToString(zrHTTPAuthType aValue) {
    return Name(kAuthNames, aValue);
}
