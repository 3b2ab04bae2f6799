#pragma once
// The library's version information, read from its string table.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "base/DateTime.h"
#include "base/Text.h"

// One version of the history: its number, release date, author and change notes.
class tZR_ApplicationHistory {
public:
    virtual ~tZR_ApplicationHistory() = default;
    const Text& Version() const { return fVersion; }
    void SetVersion(const Text& aValue) { fVersion = aValue; }
    TDateTime ReleaseDate() const { return fReleaseDate; }
    void SetReleaseDate(TDateTime aValue) { fReleaseDate = aValue; }
    const Text& Author() const { return fAuthor; }
    void SetAuthor(const Text& aValue) { fAuthor = aValue; }
    // The change notes (the history's Text property), one per "$PTEXT" or "$TEXT" entry.
    const TextList& Notes() const { return fText; }
    TextList& Notes() { return fText; }

private:
    Text fVersion;
    TDateTime fReleaseDate = 0;
    Text fAuthor;
    TextList fText;
};

// tZR_ApplicationInfo: description, rights notice, version, release date and history, read once from the
// library's string table (identifiers 10000 upward, each "key=value").
class tZR_ApplicationInfo {
public:
    using StringReader = std::function<Text(std::uint32_t aId)>;

    tZR_ApplicationInfo() = default;
    virtual ~tZR_ApplicationInfo() = default;
    tZR_ApplicationInfo(const tZR_ApplicationInfo&) = delete;
    tZR_ApplicationInfo& operator=(const tZR_ApplicationInfo&) = delete;

    // Reads the library's own string table. Raises ZrError for an impossible release date.
    void Load();
    // The same from any source of strings (a missing identifier reads as the empty text).
    void Load(const StringReader& aRead);

    const Text& Description() const { return fDescription; }
    void SetDescription(const Text& aValue) { fDescription = aValue; }
    const Text& Copyright() const { return fCopyright; }
    void SetCopyright(const Text& aValue) { fCopyright = aValue; }
    const Text& Version() const { return fVersion; }
    void SetVersion(const Text& aValue) { fVersion = aValue; }
    TDateTime ReleaseDate() const { return fReleaseDate; }
    void SetReleaseDate(TDateTime aValue) { fReleaseDate = aValue; }
    const std::vector<std::unique_ptr<tZR_ApplicationHistory>>& History() const { return fHistory; }
    std::vector<std::unique_ptr<tZR_ApplicationHistory>>& History() { return fHistory; }
    // "[" + Version + " - " + ReleaseDate in the host's short date format + "]".
    Text VersionString() const;

private:
    Text fDescription;
    Text fCopyright;
    Text fVersion;
    TDateTime fReleaseDate = 0;
    std::vector<std::unique_ptr<tZR_ApplicationHistory>> fHistory;
};
