#include "ZrpaDocuments.h"

std::string XmlEscape(const std::string& aText) {
    std::string out;
    for (const char c : aText) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

namespace {
std::string Element(const std::string& aName, const std::string& aValue) {
    return "<" + aName + ">" + XmlEscape(aValue) + "</" + aName + ">";
}

std::string Unescape(std::string aValue) {
    const std::pair<const char*, char> kEntities[] = {
        {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}, {"&amp;", '&'}};
    for (const auto& [entity, character] : kEntities) {
        const std::string e = entity;
        for (auto p = aValue.find(e); p != std::string::npos; p = aValue.find(e, p + 1)) {
            aValue.replace(p, e.size(), 1, character);
        }
    }
    return aValue;
}
} // namespace

std::string ZrpaRequest(const ZrpaOptions& aOptions, const std::string& aExport, const std::string& aAction,
                        const std::string& aHandle) {
    std::string xml = "<ReceiptPrinterManager Version=\"1.0\">" + Element("Driver", "ZRPA_RIVEVEDEV17_10") +
                      Element("LogId", aOptions.LogId);
    if (!aHandle.empty()) {
        xml += Element("Handle", aHandle);
    }
    xml += "<Connection>";
    if (!aOptions.Serial.empty()) {
        xml += Element("Type", "SERIAL") + Element("SerialPort", aOptions.Serial) +
               Element("Speed", aOptions.Speed) + Element("DataBits", aOptions.DataBits) +
               Element("Parity", aOptions.Parity) + Element("StopBits", aOptions.StopBits);
    } else {
        const std::size_t colon = aOptions.Tcp.rfind(':');
        xml += Element("Type", "TCP") + Element("Address", aOptions.Tcp.substr(0, colon)) +
               Element("Port", colon == std::string::npos ? "" : aOptions.Tcp.substr(colon + 1));
    }
    if (!aOptions.ConnectTimeout.empty()) {
        xml += Element("ConnectTimeout", aOptions.ConnectTimeout);
    }
    if (!aOptions.ReadTimeout.empty()) {
        xml += Element("ReadTimeout", aOptions.ReadTimeout);
    }
    xml += "</Connection>";
    if (aOptions.HexLog) {
        xml += "<Parameters><HexLog>true</HexLog></Parameters>";
    }
    if (aExport == "PAY") {
        xml += "<Payment>" + Element("Action", aAction);
        if (!aOptions.Amount.empty()) {
            xml += Element("Amount", aOptions.Amount);
        }
        xml += Element("Currency", aOptions.Currency) + Element("PrintLocation", aOptions.Print) +
               Element("TillCode", aOptions.Till);
        if (aAction == "PAY" && !aOptions.Reference.empty()) {
            xml += Element("Reference", aOptions.Reference);
        }
        if (aAction == "VOID") {
            xml += "<RefundReference>" + Element("PaymentId", aOptions.Reference) + "</RefundReference>";
        }
        xml += "</Payment>";
    } else if (aExport == "REPRINT") {
        xml += "<Reprint>" + Element("PrintLocation", aOptions.Print) + "</Reprint>";
    } else if (aExport == "GETTOTALS") {
        xml += "<GetTotals>" + Element("TillCode", aOptions.Till) + "</GetTotals>";
    } else if (aExport == "DAYCLOSE") {
        xml += "<DayClose>" + Element("TillCode", aOptions.Till) + "</DayClose>";
    }
    return xml + "</ReceiptPrinterManager>";
}

ResultFields ReadResultDocument(const std::string& aDocument) {
    ResultFields fields;
    std::size_t pos = 0;
    while (pos < aDocument.size()) {
        const std::size_t open = aDocument.find('<', pos);
        if (open == std::string::npos) {
            break;
        }
        const std::size_t close = aDocument.find('>', open);
        if (close == std::string::npos) {
            break;
        }
        const std::string name = aDocument.substr(open + 1, close - open - 1);
        if (name.empty() || name[0] == '/' || name.find_first_of(" /?!") != std::string::npos) {
            pos = close + 1;
            continue;
        }
        const std::string end = "</" + name + ">";
        const std::size_t last = aDocument.find(end, close + 1);
        if (last == std::string::npos) {
            pos = close + 1;
            continue;
        }
        fields.emplace_back(name, Unescape(aDocument.substr(close + 1, last - close - 1)));
        pos = last + end.size();
    }
    return fields;
}

std::string ResultField(const ResultFields& aFields, const std::string& aName) {
    for (const auto& [name, value] : aFields) {
        if (name == aName) {
            return value;
        }
    }
    return std::string();
}
