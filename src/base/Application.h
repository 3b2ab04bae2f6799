#pragma once
// tZR_Application: the process-wide context of the library (application log, version information,
// command-line switches). Created at library load, freed at unload.
#include <memory>

#include "base/DateTime.h"
#include "base/Text.h"
#include "base/ZRBaseDefs.h"

class tZR_Application {
public:
    // Writes a line into the application log.
    void Log(tZR_MessageType aEntryType, const Text& aMessage);
    // Version of the library as "1.27" and its release date, from the version-history table.
    const Text& Version() const;
    TDateTime ReleaseDate() const;
};

// Null before load and after unload.
extern tZR_Application* gApplication;

// Library load and unload create and free gApplication.
void CreateApplicationContext();
void FreeApplicationContext(bool aIsDLLFinalization);

// aDate in the system's short date format (the host's regional settings).
Text FormatShortDate(TDateTime aDate);
