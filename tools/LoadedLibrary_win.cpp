#include <windows.h>

#include "LoadedLibrary.h"

std::string LoadedLibrary::DefaultPath() {
    wchar_t buf[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, buf, MAX_PATH);
    std::u16string path(buf, buf + n);
    path.erase(path.find_last_of(u"\\/") + 1);
    return Utf16ToUtf8(path + u"ZRPA_RIVEVEDEV17_10.dll");
}

LoadedLibrary::LoadedLibrary(const std::string& aPath) {
    const std::u16string wide = Utf8ToUtf16(aPath.empty() ? DefaultPath() : aPath);
    const std::wstring path(wide.begin(), wide.end());
    fHandle = LoadLibraryW(path.c_str());
    if (fHandle == nullptr) {
        fLoadError = "LoadLibraryW failed with error " + std::to_string(GetLastError());
    }
}

LoadedLibrary::~LoadedLibrary() { Unload(); }

void LoadedLibrary::Unload() {
    if (fHandle != nullptr) {
        FreeLibrary(static_cast<HMODULE>(fHandle));
        fHandle = nullptr;
    }
}

void* LoadedLibrary::Symbol(const char* aName) {
    return fHandle != nullptr ? reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(fHandle), aName)) : nullptr;
}

BSTR LoadedLibrary::Alloc(const std::u16string& aText) {
    return SysAllocStringLen(reinterpret_cast<const OLECHAR*>(aText.data()), static_cast<UINT>(aText.size()));
}

void LoadedLibrary::Free(BSTR aValue) { SysFreeString(aValue); }

std::u16string LoadedLibrary::TakeText(BSTR aValue, bool& aWasNull) {
    aWasNull = aValue == nullptr;
    if (aValue == nullptr) {
        return std::u16string();
    }
    std::u16string out(reinterpret_cast<const char16_t*>(aValue), SysStringLen(aValue));
    SysFreeString(aValue);
    return out;
}
