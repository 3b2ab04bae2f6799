#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>

#include <cstring>
#include <cwchar>

#include "Console.h"
#include "LoadedLibrary.h"

bool StandardErrorIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}

void UseBinaryOutput() {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

// Read as UTF-16: the ANSI environment would garble a user folder whose name the code page cannot spell.
std::string EnvironmentText(const char* aName) {
    const std::wstring name(aName, aName + std::strlen(aName));
    const wchar_t* value = _wgetenv(name.c_str());
    return value == nullptr ? std::string() : Utf16ToUtf8(std::u16string(value, value + std::wcslen(value)));
}

std::string UserStatePath() {
    return EnvironmentText("LOCALAPPDATA");
}

// Windows names serial ports COM<n> itself: the Device Manager shows them.
std::string SerialDeviceNote(const std::string&) {
    return std::string();
}
