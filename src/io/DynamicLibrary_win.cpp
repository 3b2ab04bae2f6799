#include <windows.h>

#include "io/DynamicLibrary.h"

namespace {
bool UsableName(const Text& aName) {
    return !aName.empty() && aName.find(u'\0') == Text::npos;
}
const wchar_t* Wide(const Text& aText) {
    return reinterpret_cast<const wchar_t*>(aText.c_str());
}
} // namespace

void* tZR_DynamicLibrary::Load(const Text& aName, Failure& aFailure) {
    if (!UsableName(aName)) {
        aFailure.Code = ERROR_INVALID_PARAMETER;
        aFailure.Message = OsErrorMessage(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    // No "insert disk" or "missing file" dialog boxes at the till: the failure comes back as a code.
    DWORD oldMode = 0;
    SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &oldMode);
    HMODULE handle = LoadLibraryW(Wide(aName));
    const DWORD error = GetLastError();
    SetThreadErrorMode(oldMode, nullptr);
    if (handle == nullptr) {
        aFailure.Code = static_cast<std::int32_t>(error);
        aFailure.Message = OsErrorMessage(aFailure.Code);
    }
    return reinterpret_cast<void*>(handle);
}

void* tZR_DynamicLibrary::Address(void* aHandle, const Text& aName) {
    if (aHandle == nullptr || !UsableName(aName)) {
        return nullptr;
    }
    // Export names are 8-bit; a name that has no 8-bit form cannot be exported.
    const std::string name = TextToBytes(aName);
    if (name.find('?') != std::string::npos && aName.find(u'?') == Text::npos) {
        return nullptr;
    }
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(aHandle), name.c_str()));
}

void tZR_DynamicLibrary::Unload(void* aHandle) {
    if (aHandle != nullptr) {
        FreeLibrary(static_cast<HMODULE>(aHandle));
    }
}

Text OsMessageText(std::int32_t aCode, const Text& aModuleName) {
    wchar_t* buffer = nullptr;
    HMODULE module = aModuleName.empty()
                         ? nullptr
                         : GetModuleHandleW(reinterpret_cast<const wchar_t*>(aModuleName.c_str()));
    DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;
    if (module != nullptr) {
        flags |= FORMAT_MESSAGE_FROM_HMODULE;
    }
    const DWORD length = FormatMessageW(flags, module, static_cast<DWORD>(aCode), 0,
                                        reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    Text text;
    if (length > 0 && buffer != nullptr) {
        text.assign(reinterpret_cast<const char16_t*>(buffer), length);
    }
    if (buffer != nullptr) {
        LocalFree(buffer);
    }
    while (!text.empty() && (text.back() == u'\r' || text.back() == u'\n' || text.back() == u' ')) {
        text.pop_back();
    }
    return text;
}

Text OsErrorMessage(std::int32_t aCode) {
    const Text text = OsMessageText(aCode);
    return text.empty() ? u"System error " + IntToText(aCode) : text;
}
