#include <windows.h>

#include <string>

#include "support/ScopedEnvironment.h"

namespace {
const wchar_t* Wide(const Text& aText) {
    return reinterpret_cast<const wchar_t*>(aText.c_str());
}
} // namespace

ScopedEnvironment::ScopedEnvironment(const Text& aName, const Text& aValue) : fName(aName) {
    std::wstring buffer(32768, L'\0');
    const DWORD n = GetEnvironmentVariableW(Wide(aName), buffer.data(), static_cast<DWORD>(buffer.size()));
    fHadValue = n > 0 && n < buffer.size();
    fPrevious = fHadValue ? Text(reinterpret_cast<const char16_t*>(buffer.data()), n) : Text();
    SetEnvironmentVariableW(Wide(aName), aValue.empty() ? nullptr : Wide(aValue));
}

ScopedEnvironment::~ScopedEnvironment() {
    SetEnvironmentVariableW(Wide(fName), fHadValue ? Wide(fPrevious) : nullptr);
}
