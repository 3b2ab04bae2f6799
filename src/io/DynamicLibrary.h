#pragma once
// The operating system's loader of shared libraries, and the system's texts for its error codes.
#include <cstdint>

#include "base/Text.h"

class tZR_DynamicLibrary {
public:
    struct Failure {
        std::int32_t Code = 0; // the system's error code
        Text Message;          // the system's text for it
    };

    // Loads the library aName. Null on failure, with aFailure filled; a name that the system cannot take
    // (empty, or with a NUL character inside) fails the same way instead of loading something else.
    static void* Load(const Text& aName, Failure& aFailure);
    // Address of the exported symbol aName, or null when the library has none of that name.
    static void* Address(void* aHandle, const Text& aName);
    static void Unload(void* aHandle);
};

// The system's message text for an operating-system error code, without trailing line breaks; the
// empty text when the system has none. On Windows the messages of the loaded module aModuleName (when
// given) are searched as well: some libraries, WinHTTP for one, bring their own.
Text OsMessageText(std::int32_t aCode, const Text& aModuleName = Text());
// OsMessageText, or "System error <code>" when there is none.
Text OsErrorMessage(std::int32_t aCode);
