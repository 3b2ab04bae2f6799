#include <windows.h>

#include "platform/StringTable.h"

namespace {
// The module that holds this function: the DLL when the code runs in the DLL, the program otherwise.
HMODULE OwnModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&OwnModule), &module);
    return module;
}
} // namespace

Text LoadOwnString(std::uint32_t aId) {
    wchar_t buffer[1025];
    const int n = LoadStringW(OwnModule(), aId, buffer, 1025);
    if (n <= 0) {
        return Text();
    }
    return Text(reinterpret_cast<const char16_t*>(buffer), static_cast<std::size_t>(n));
}

bool LoadOwnRawResource(const Text& aName, std::string& aBytes) {
    const HMODULE module = OwnModule();
    const HRSRC info = FindResourceW(module, reinterpret_cast<LPCWSTR>(aName.c_str()), MAKEINTRESOURCEW(10));
    if (info == nullptr) {
        return false;
    }
    const HGLOBAL handle = LoadResource(module, info);
    const void* data = handle != nullptr ? LockResource(handle) : nullptr;
    if (data == nullptr) {
        return false;
    }
    aBytes.assign(static_cast<const char*>(data), SizeofResource(module, info));
    return true;
}
