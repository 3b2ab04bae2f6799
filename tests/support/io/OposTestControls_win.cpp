#include <windows.h>

#include <filesystem>

#include "support/OposTestControls.h"

namespace {
// Built beside the test programs (tests/support/OposTestControl_win.cpp).
constexpr const wchar_t* kControlFile = L"zr_opos_test_control.dll";

std::string HexCode(long aCode) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(aCode));
    return text;
}

// The control's DLL, loaded once and kept: COM loads the same module from the path it registers, so the
// state the tests script is the one its objects answer from.
HMODULE ControlModule(std::string& aError) {
    static HMODULE module = nullptr;
    static std::string error;
    if (module == nullptr && error.empty()) {
        wchar_t exe[4096];
        const DWORD length = GetModuleFileNameW(nullptr, exe, 4096);
        const std::filesystem::path path =
            std::filesystem::path(std::wstring(exe, length)).parent_path() / kControlFile;
        module = LoadLibraryW(path.c_str());
        if (module == nullptr) {
            error = "cannot load the test control " + path.string() + " (error " +
                    std::to_string(GetLastError()) + ")";
        }
    }
    aError = error;
    return module;
}

std::string CallServerExport(const char* aName) {
    std::string error;
    HMODULE module = ControlModule(error);
    if (module == nullptr) {
        return error;
    }
    using Entry = HRESULT(WINAPI*)();
    const auto entry = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(module, aName)));
    if (entry == nullptr) {
        return std::string("the test control exports no ") + aName;
    }
    const HRESULT hr = entry();
    return SUCCEEDED(hr) ? std::string() : std::string(aName) + " failed [" + HexCode(hr) + "]";
}
} // namespace

std::vector<OposTestControl> OposTestControls() {
    return {OposTestControl::Fake, OposTestControl::Registered};
}

std::string RegisterOposTestControl() {
    return CallServerExport("DllRegisterServer");
}

std::string UnregisterOposTestControl() {
    return CallServerExport("DllUnregisterServer");
}

FakeState* OposTestControlState(std::string& aError) {
    HMODULE module = ControlModule(aError);
    if (module == nullptr) {
        return nullptr;
    }
    using Entry = FakeState* (*)();
    const auto entry =
        reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(module, "ZrOposTestState")));
    if (entry == nullptr) {
        aError = "the test control exports no ZrOposTestState";
        return nullptr;
    }
    return entry();
}
