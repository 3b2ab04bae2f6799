#include "ReliabilityTable.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {
std::string Cell(const std::string& aText) {
    std::string out;
    for (const char c : aText) {
        if (c == '|') {
            out += "\\|";
        } else if (c == '\n' || c == '\r') {
            out += ' ';
        } else {
            out += c;
        }
    }
    return out;
}
} // namespace

void WriteReliabilityTable(const std::string& aName, const std::vector<std::string>& aHeader,
                           const std::vector<std::vector<std::string>>& aRows) {
    const char* folder = std::getenv("ZR_RELIABILITY_OUT");
    if (folder == nullptr || *folder == '\0') {
        return;
    }
    std::ofstream out(std::filesystem::path(folder) / (aName + ".md"), std::ios::binary);
    std::string rule = "|";
    out << "|";
    for (const auto& h : aHeader) {
        out << " " << Cell(h) << " |";
        rule += "---|";
    }
    out << "\n" << rule << "\n";
    for (const auto& row : aRows) {
        out << "|";
        for (const auto& c : row) {
            out << " " << Cell(c) << " |";
        }
        out << "\n";
    }
}

std::string CellText(const Text& aText, std::size_t aMax) {
    Text shown;
    for (const char16_t c : aText) {
        if (c < 0x20 || c == 0x7F || (c >= 0xD800 && c <= 0xDFFF)) {
            char code[16];
            std::snprintf(code, sizeof code, c > 0xFF ? "<%04X>" : "<%02X>", static_cast<unsigned>(c));
            shown += Utf8ToText(code);
        } else {
            shown += c;
        }
    }
    if (shown.size() > aMax) {
        shown = shown.substr(0, aMax) + u"…";
    }
    return TextToUtf8(shown);
}
