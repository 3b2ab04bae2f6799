#pragma once
// The card data that tests plant in what a terminal sends, and the search for it in what the library
// writes. No file a test run leaves behind may hold any of it, plain or as a hex dump:
// scripts/scan-card-data.py reads the two lists below from this file and searches every such file.
// The numbers pass the Luhn check, as real card numbers do, and appear nowhere else in the project.
#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Full card numbers. A finding is any eight of their digits in a row (blanks or dashes between them
// allowed): eight digits always include one that a masked number hides.
inline constexpr std::array<std::string_view, 4> kPlantedPans = {
    "4929180473652170",    // 16 digits
    "6220589317460285930", // 19 digits: fills the answers' card field
    "5392614805732917",    // planted with blanks or dashes between groups of four
    "379462850317566",     // 15 digits
};

// Parts of the planted tracks that are neither the card number nor a sentinel: the cardholder's name and
// the discretionary data. Found as they are.
inline constexpr std::array<std::string_view, 2> kPlantedTrackMarkers = {
    "PLANTED/CARDHOLDER",
    "4827395",
};

// Track 1 and track 2 of the first and third card, as a receipt might print them.
inline const std::string kPlantedTrack1 = "%B4929180473652170^PLANTED/CARDHOLDER^29111014827395000?";
inline const std::string kPlantedTrack2 = ";5392614805732917=29111014827395?";
inline const std::string kPlantedPanBlanks = "5392 6148 0573 2917";
inline const std::string kPlantedPanDashes = "5392-6148-0573-2917";

namespace planted_detail {
inline bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

inline int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

// The planted data in aText as it stands: one finding per planted value found.
inline void FindPlain(std::string_view aText, const std::string& aHow, std::vector<std::string>& aFindings) {
    // Every run of digits with single blanks or dashes between them, as its digits alone.
    std::vector<std::string> runs;
    for (std::size_t i = 0; i < aText.size();) {
        if (!IsDigit(aText[i])) {
            ++i;
            continue;
        }
        std::string digits;
        while (i < aText.size()) {
            if (IsDigit(aText[i])) {
                digits += aText[i++];
            } else if ((aText[i] == ' ' || aText[i] == '-') && i + 1 < aText.size() &&
                       IsDigit(aText[i + 1])) {
                ++i;
            } else {
                break;
            }
        }
        runs.push_back(digits);
    }
    for (const std::string_view pan : kPlantedPans) {
        bool found = false;
        for (std::size_t at = 0; at + 8 <= pan.size() && !found; ++at) {
            for (const auto& run : runs) {
                found = found || run.find(pan.substr(at, 8)) != std::string::npos;
            }
        }
        if (found) {
            aFindings.push_back("card number " + std::string(pan) + " " + aHow);
        }
    }
    for (const std::string_view marker : kPlantedTrackMarkers) {
        if (aText.find(marker) != std::string_view::npos) {
            aFindings.push_back("track data " + std::string(marker) + " " + aHow);
        }
    }
}
} // namespace planted_detail

// The planted card data in aBytes (a file's contents): plain, in UTF-16 (NUL bytes dropped), and inside
// hex dumps (two hex digits per byte, separated by single blanks). Empty when there is none.
inline std::vector<std::string> PlantedCardDataIn(std::string_view aBytes) {
    using namespace planted_detail;
    std::vector<std::string> findings;
    std::string text;
    for (const char c : aBytes) {
        if (c != '\0') {
            text += c;
        }
    }
    FindPlain(text, "(plain)", findings);
    // A pair of hex digits standing alone (after a blank or "[", before anything but a hex digit).
    const auto pairAt = [&text](std::size_t i) {
        return i + 1 < text.size() && HexValue(text[i]) >= 0 && HexValue(text[i + 1]) >= 0 &&
               (i == 0 || text[i - 1] == ' ' || text[i - 1] == '[') &&
               (i + 2 == text.size() || HexValue(text[i + 2]) < 0);
    };
    std::string decoded;
    for (std::size_t i = 0; i < text.size();) {
        if (!pairAt(i)) {
            ++i;
            continue;
        }
        decoded += static_cast<char>(HexValue(text[i]) * 16 + HexValue(text[i + 1]));
        i += 2;
        if (i < text.size() && text[i] == ' ' && pairAt(i + 1)) {
            ++i;
        } else {
            decoded += '\n'; // the dump ends here
        }
    }
    FindPlain(decoded, "(as hex)", findings);
    return findings;
}
