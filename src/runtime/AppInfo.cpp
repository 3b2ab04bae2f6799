// tZR_ApplicationInfo: the version information read from the library's string table.
#include "runtime/AppInfo.h"
#include "base/Formatting.h"
#include "base/ZrError.h"
#include "platform/StringTable.h"
#include "runtime/Application.h"

namespace {
constexpr std::uint32_t kFirstId = 10000;
constexpr std::uint32_t kLastPossibleId = 65535; // string identifiers are 16-bit
constexpr int kMaxMisses = 10;

// A decimal number (with an optional sign), or aDefault when the text is not one.
int IntOrDefault(const Text& aText, int aDefault) {
    std::size_t i = 0;
    bool negative = false;
    if (i < aText.size() && (aText[i] == u'+' || aText[i] == u'-')) {
        negative = aText[i] == u'-';
        ++i;
    }
    if (i >= aText.size()) {
        return aDefault;
    }
    long long v = 0;
    for (; i < aText.size(); ++i) {
        if (aText[i] < u'0' || aText[i] > u'9' || v > 100000000) {
            return aDefault;
        }
        v = v * 10 + (aText[i] - u'0');
    }
    return static_cast<int>(negative ? -v : v);
}

// dd/mm/yyyy by position: characters 3 and 6 are not looked at; a field that is no number reads as 1.
TDateTime ReadReleaseDate(const Text& aValue) {
    auto field = [&](std::size_t aPos, std::size_t aLength) {
        return aPos < aValue.size() ? aValue.substr(aPos, aLength) : Text();
    };
    const int day = IntOrDefault(field(0, 2), 1);
    const int month = IntOrDefault(field(3, 2), 1);
    const int year = IntOrDefault(field(6, 4), 1);
    TDateTime date = 0;
    if (!TryEncodeDateTime(DateTimeParts{year, month, day, 0, 0, 0, 0}, date)) {
        throw ZrError(u"Invalid release date [" + aValue + u"] in the version history: day " +
                      IntToText(day) + u", month " + IntToText(month) + u", year " + IntToText(year) +
                      u" is not a date.");
    }
    return date;
}
} // namespace

void tZR_ApplicationInfo::Load() {
    Load([](std::uint32_t aId) { return LoadOwnString(aId); });
}

void tZR_ApplicationInfo::Load(const StringReader& aRead) {
    tZR_ApplicationHistory* current = nullptr;
    int misses = 0;
    for (std::uint32_t id = kFirstId; misses <= kMaxMisses && id <= kLastPossibleId; ++id) {
        Text entry = aRead(id);
        if (entry.size() > 1024) {
            entry.resize(1024);
        }
        if (entry.empty()) {
            ++misses;
            continue;
        }
        misses = 0;
        const Text key = UpperCase(ExtractField(entry, 1, u'=', false));
        const Text value = ExtractField(entry, 2, u'=', true);
        if (key == u"$APPDESCRIPTION") {
            fDescription = value;
        } else if (key == u"$COPYRIGHT") {
            fCopyright = value;
        } else if (key == u"$VERSION") {
            fVersion = value;
            fHistory.push_back(std::make_unique<tZR_ApplicationHistory>());
            current = fHistory.back().get();
            current->SetVersion(value);
        } else if (current == nullptr) {
            // The other keys belong to a version: before the first one they are ignored.
        } else if (key == u"$RELEASEDATE") {
            const TDateTime date = ReadReleaseDate(value);
            current->SetReleaseDate(date);
            fReleaseDate = date;
        } else if (key == u"$AUTHOR") {
            current->SetAuthor(value);
        } else if (key == u"$PTEXT" || key == u"$TEXT") {
            current->Notes().push_back(value);
        }
    }
}

Text tZR_ApplicationInfo::VersionString() const {
    return u"[" + fVersion + u" - " + FormatShortDate(fReleaseDate) + u"]";
}
