#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include "platform/Process.h"

Text ExecutablePath() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 6; ++attempt) {
        const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) {
            return Text();
        }
        if (n < buffer.size()) {
            return Text(reinterpret_cast<const char16_t*>(buffer.data()), n);
        }
        buffer.resize(buffer.size() * 4);
    }
    return Text();
}

char16_t PathSeparator() {
    return u'\\';
}

TextList CommandLineParameters() {
    TextList out;
    int count = 0;
    LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
    if (args == nullptr) {
        return out;
    }
    for (int i = 1; i < count; ++i) {
        out.emplace_back(reinterpret_cast<const char16_t*>(args[i]));
    }
    LocalFree(args);
    return out;
}

Text EnvironmentVariable(const Text& aName) {
    const auto* name = reinterpret_cast<const wchar_t*>(aName.c_str());
    std::wstring buffer(256, L'\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        SetLastError(ERROR_SUCCESS);
        const DWORD n = GetEnvironmentVariableW(name, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) {
            return Text();
        }
        if (n < buffer.size()) {
            return Text(reinterpret_cast<const char16_t*>(buffer.data()), n);
        }
        buffer.resize(n);
    }
    return Text();
}

Text UserStateFolder() {
    return EnvironmentVariable(u"LOCALAPPDATA");
}

void WriteStandardError(const Text& aLine) {
    const HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        return;
    }
    const std::string line = TextToUtf8(aLine) + "\r\n";
    DWORD written = 0;
    WriteFile(handle, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}
