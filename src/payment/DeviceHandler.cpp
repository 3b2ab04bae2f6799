#include "payment/DeviceHandler.h"

#include <unordered_map>

#include "base/ZrError.h"
#include "io/ChannelFactory.h"
#include "io/IOHandler.h"
#include "payment/Receipt.h"
#include "payment/Xml.h"

namespace {

// Longest file-name part in UTF-8 bytes: file systems allow 255, and the log writer appends the date,
// a rotation stamp and ".log".
constexpr std::size_t kMaxFileNameBytes = 160;

bool IsUnsafeInFileName(char16_t c) {
    return c < 0x20 || c == 0x7F || c == u'/' || c == u'\\' || c == u':' || c == u'*' || c == u'?' ||
           c == u'"' || c == u'<' || c == u'>' || c == u'|';
}

std::size_t Utf8Length(char32_t aCode) {
    return aCode < 0x80 ? 1 : aCode < 0x800 ? 2 : aCode < 0x10000 ? 3 : 4;
}

// Index of the line named aName (ASCII case ignored), or -1.
int IndexOfParameter(const TextList& aList, TextView aName) {
    for (std::size_t i = 0; i < aList.size(); ++i) {
        const TextView line = aList[i];
        if (SameTextAscii(line.substr(0, line.find(u'=')), aName)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool IsNameStart(char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_' || c == u':' || c >= 0xC0;
}

bool IsValidElementName(TextView aName) {
    if (aName.empty() || !IsNameStart(aName[0])) {
        return false;
    }
    for (const char16_t c : aName) {
        if (!IsNameStart(c) && !(c >= u'0' && c <= u'9') && c != u'-' && c != u'.' && c != 0xB7) {
            return false;
        }
    }
    return true;
}

void AddElement(Text& aOut, TextView aIndent, TextView aName, TextView aValue) {
    aOut += u"\r\n";
    aOut += aIndent;
    aOut += u"<" + Text(aName) + u">" + XmlEscaped(aValue, true) + u"</" + Text(aName) + u">";
}

} // namespace

kDeviceHandler::kDeviceHandler() : fConnection(std::make_unique<kConnection>()) {}

kDeviceHandler::~kDeviceHandler() = default;

std::unique_ptr<XmlDocument> kDeviceHandler::Deserialize(const Text& aXml) {
    auto document = XmlDocument::Parse(aXml);
    const XmlElement& root = *document->Root();
    fType = krptUtil::GetNodeValueAsString(root, u"Type");
    fDriver = krptUtil::GetNodeValueAsString(root, u"Driver");
    fMethod = krptUtil::GetNodeValueAsString(root, u"Method");
    fDeviceHandle = krptUtil::GetNodeValueAsInteger(root, u"Handle");
    fLogId = krptUtil::GetNodeValueAsString(root, u"LogId");

    if (const XmlElement* section = root.Child(u"Connection")) {
        const XmlElement& s = *section;
        kConnection& c = *fConnection;
        c.ConnectionType = kConnection::ConvertConnectionType(krptUtil::GetNodeValueAsString(s, u"Type"));
        c.SetConnectTimeOut(krptUtil::GetNodeValueAsInteger(s, u"ConnectTimeout"));
        c.SetReadTimeOut(krptUtil::GetNodeValueAsInteger(s, u"ReadTimeout"));
        const auto readHttp = [&] {
            c.URL = krptUtil::GetNodeValueAsString(s, u"URL");
            c.AuthType = kConnection::ConvertAuthType(krptUtil::GetNodeValueAsString(s, u"AuthType"));
            c.User = krptUtil::GetNodeValueAsString(s, u"User");
            c.Password = krptUtil::GetNodeValueAsString(s, u"Password");
        };
        switch (c.ConnectionType) {
        case zrConnectionType::OPOS:
            c.DeviceName = krptUtil::GetNodeValueAsString(s, u"DeviceName");
            break;
        case zrConnectionType::TCP:
        case zrConnectionType::HTTP:
            c.Address = krptUtil::GetNodeValueAsString(s, u"Address");
            c.Port = krptUtil::GetNodeValueAsInteger(s, u"Port");
            readHttp();
            break;
        case zrConnectionType::Serial:
            c.SerialPort = krptUtil::GetNodeValueAsString(s, u"SerialPort");
            c.Speed = krptUtil::GetNodeValueAsInteger(s, u"Speed");
            c.DataBits = krptUtil::GetNodeValueAsInteger(s, u"DataBits");
            c.Parity = kConnection::ConvertParity(krptUtil::GetNodeValueAsString(s, u"Parity"));
            c.StopBits = krptUtil::GetNodeValueAsInteger(s, u"StopBits");
            readHttp();
            break;
        case zrConnectionType::DLL:
            c.LibraryName = krptUtil::GetNodeValueAsString(s, u"LibraryName");
            break;
        case zrConnectionType::Spool:
            c.PrinterName = krptUtil::GetNodeValueAsString(s, u"PrinterName");
            break;
        case zrConnectionType::Com:
            break;
        }
    }

    if (const XmlElement* parameters = root.Child(u"Parameters")) {
        // Read by name, so two elements of the same name both carry the first one's text. One pass: a
        // lookup by name for every element would make a request of many parameters cost their square.
        std::unordered_map<Text, Text> firstText;
        for (const XmlElement* p : parameters->Children()) {
            const Text name = p->Name();
            auto first = firstText.find(name);
            if (first == firstText.end()) {
                first = firstText.emplace(name, krptUtil::GetOwnValueAsString(*p)).first;
            }
            fParameters.push_back(LowerCase(name) + u"=" + first->second);
        }
    }
    if (ParameterExists(u"DeviceName")) {
        fConnection->DeviceName = GetParameter(u"DeviceName");
    }
    if (ParameterExists(u"ConnectTimeout")) {
        fConnection->SetConnectTimeOut(krptUtil::StrToInt(GetParameter(u"ConnectTimeout")));
    }
    fCommandTimeout = 0;
    if (ParameterExists(u"CommandTimeout")) {
        const Text value = GetParameter(u"CommandTimeout");
        if (!krptUtil::TryStrToInt(value, fCommandTimeout) || fCommandTimeout < 0) {
            throw ZrError(u"Parameter CommandTimeout [" + CutValue(value) +
                          u"] invalid. Allowed values are: 0 (no limit) to 2147483647 (milliseconds).");
        }
    }
    return document;
}

Text kDeviceHandler::GetParameter(const Text& aName) const {
    const int i = IndexOfParameter(fParameters, aName);
    if (i < 0) {
        return Text();
    }
    const Text& line = fParameters[static_cast<std::size_t>(i)];
    const auto eq = line.find(u'=');
    return eq == Text::npos ? Text() : line.substr(eq + 1);
}

bool kDeviceHandler::ParameterExists(const Text& aName) const {
    return IndexOfParameter(fParameters, aName) >= 0;
}

void kDeviceHandler::SetParameter(const Text& aName, const Text& aValue) {
    const int i = IndexOfParameter(fParameters, aName);
    if (aValue.empty()) {
        if (i >= 0) {
            fParameters.erase(fParameters.begin() + i);
        }
    } else if (i >= 0) {
        Text& line = fParameters[static_cast<std::size_t>(i)];
        line = line.substr(0, line.find(u'=')) + u"=" + aValue;
    } else {
        fParameters.push_back(aName + u"=" + aValue);
    }
}

Text kDeviceHandler::SafeFileName(TextView aName) {
    Text out;
    std::size_t bytes = 0;
    for (std::size_t i = 0; i < aName.size(); ++i) {
        const char16_t c = aName[i];
        Text piece(1, c);
        char32_t code = c;
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < aName.size() && aName[i + 1] >= 0xDC00 &&
            aName[i + 1] <= 0xDFFF) {
            piece += aName[++i];
            code = 0x10000;
        } else if ((c >= 0xD800 && c <= 0xDFFF) || IsUnsafeInFileName(c)) {
            piece = u"_"; // unpaired surrogates have no file-name form either
            code = u'_';
        }
        bytes += Utf8Length(code);
        if (bytes > kMaxFileNameBytes) {
            break;
        }
        out += piece;
    }
    return out;
}

std::unique_ptr<kIOHandler> kDeviceHandler::CreateIOHandler(const Text& aLogDir) const {
    std::unique_ptr<kIOHandler> handler =
        CreateChannel(*fConnection, aLogDir, SafeFileName(fDriver + u"_" + fLogId));
    handler->SetHexLog(LowerCase(GetParameter(u"HexLog")) == u"true");
    return handler;
}

Text kDeviceHandler::Serialize() const {
    Text out = u"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<ReceiptPrinterManager Version=\"1.0\">";
    AddElement(out, u"  ", u"Type", fType);
    AddElement(out, u"  ", u"Driver", fDriver);
    AddElement(out, u"  ", u"Method", fMethod);
    AddElement(out, u"  ", u"LogId", fLogId);
    if (LowerCase(fMethod) != u"open") {
        AddElement(out, u"  ", u"Handle", IntToText(fDeviceHandle));
    }
    const kConnection& c = *fConnection;
    out += u"\r\n  <Connection>";
    AddElement(out, u"    ", u"Type", kConnection::ConnectionTypeToString(c.ConnectionType));
    AddElement(out, u"    ", u"ConnectTimeout", IntToText(c.ConnectTimeOut()));
    AddElement(out, u"    ", u"ReadTimeout", IntToText(c.ReadTimeOut()));
    AddElement(out, u"    ", u"DeviceName", c.DeviceName);
    AddElement(out, u"    ", u"Address", c.Address);
    AddElement(out, u"    ", u"Port", IntToText(c.Port));
    AddElement(out, u"    ", u"URL", c.URL);
    AddElement(out, u"    ", u"AuthType", kConnection::AuthTypeToString(c.AuthType));
    AddElement(out, u"    ", u"User", c.User);
    AddElement(out, u"    ", u"Password", c.Password);
    AddElement(out, u"    ", u"SerialPort", c.SerialPort);
    AddElement(out, u"    ", u"Speed", IntToText(c.Speed));
    AddElement(out, u"    ", u"DataBits", IntToText(c.DataBits));
    AddElement(out, u"    ", u"Parity", kConnection::ParityToString(c.Parity));
    AddElement(out, u"    ", u"StopBits", IntToText(c.StopBits));
    AddElement(out, u"    ", u"LibraryName", c.LibraryName);
    AddElement(out, u"    ", u"PrinterName", c.PrinterName);
    out += u"\r\n  </Connection>\r\n  <Parameters>";
    for (const Text& line : fParameters) {
        const auto eq = line.find(u'=');
        const Text name = line.substr(0, eq);
        if (!IsValidElementName(name)) {
            throw ZrError(u"Parameter name '" + CutValue(name) + u"' is not a valid element name");
        }
        AddElement(out, u"    ", name, eq == Text::npos ? Text() : line.substr(eq + 1));
    }
    out += u"\r\n  </Parameters>\r\n</ReceiptPrinterManager>";
    return out;
}
