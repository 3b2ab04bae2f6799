#pragma once
// A host's view of the driver: the library loaded at run time and its exports looked up by name,
// exactly as a cash-register program does it. Used by zrpa and by the end-to-end tests.
#include <cstdint>
#include <string>

#include "ZRPA_RIVEVEDEV17_10.h"

class LoadedLibrary {
public:
    using CommandFn = int16_t(ZRPA_CALL*)(BSTR, BSTR*, BSTR*);
    using VersionFn = int32_t(ZRPA_CALL*)(BSTR, BSTR*, BSTR*);

    struct Outcome {
        int32_t Result = 0;
        std::u16string Output;
        std::u16string ErrorMessage;
        bool OutputWasNull = true;
        bool ErrorWasNull = true;
    };

    // aPath: file name or path of the library; empty means the library beside this executable.
    explicit LoadedLibrary(const std::string& aPath = std::string());
    ~LoadedLibrary();
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;

    bool IsLoaded() const { return fHandle != nullptr; }
    const std::string& LoadError() const { return fLoadError; }
    // Unloads now (the destructor does it otherwise).
    void Unload();

    // Calls the export of that name (PAY, OPEN, ...) with aRequest and collects the three outputs.
    Outcome Call(const std::string& aExport, const std::u16string& aRequest);
    Outcome Version(const std::u16string& aDriverName);

    static std::string DefaultPath();

    // The export of that name (null when absent), and the library's own string release, for a caller
    // that calls an export itself.
    void* Symbol(const char* aName);
    void Free(BSTR aValue);

private:
    BSTR Alloc(const std::u16string& aText);
    std::u16string TakeText(BSTR aValue, bool& aWasNull);

    void* fHandle = nullptr;
    std::string fLoadError;
};

std::string Utf16ToUtf8(const std::u16string& aText);
std::u16string Utf8ToUtf16(const std::string& aText);
