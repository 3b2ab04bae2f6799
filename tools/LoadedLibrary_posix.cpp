#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include "LoadedLibrary.h"

namespace {
using AllocFn = BSTR (*)(const char16_t*, uint32_t);
using FreeFn = void (*)(BSTR);
using LenFn = uint32_t (*)(BSTR);
}  // namespace

std::string LoadedLibrary::DefaultPath() {
    char buf[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    std::string dir = n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string("./x");
    dir.erase(dir.find_last_of('/') + 1);
    return dir + "libZRPA_RIVEVEDEV17_10.so";
}

LoadedLibrary::LoadedLibrary(const std::string& aPath) {
    const std::string path = aPath.empty() ? DefaultPath() : aPath;
    fHandle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (fHandle == nullptr) {
        const char* e = dlerror();
        fLoadError = e != nullptr ? e : "dlopen failed";
    }
}

LoadedLibrary::~LoadedLibrary() { Unload(); }

void LoadedLibrary::Unload() {
    if (fHandle != nullptr) {
        dlclose(fHandle);
        fHandle = nullptr;
    }
}

void* LoadedLibrary::Symbol(const char* aName) { return fHandle != nullptr ? dlsym(fHandle, aName) : nullptr; }

BSTR LoadedLibrary::Alloc(const std::u16string& aText) {
    auto alloc = reinterpret_cast<AllocFn>(Symbol("SysAllocStringLen"));
    return alloc != nullptr ? alloc(aText.data(), static_cast<uint32_t>(aText.size())) : nullptr;
}

void LoadedLibrary::Free(BSTR aValue) {
    auto free = reinterpret_cast<FreeFn>(Symbol("SysFreeString"));
    if (free != nullptr) {
        free(aValue);
    }
}

std::u16string LoadedLibrary::TakeText(BSTR aValue, bool& aWasNull) {
    aWasNull = aValue == nullptr;
    if (aValue == nullptr) {
        return std::u16string();
    }
    auto len = reinterpret_cast<LenFn>(Symbol("SysStringLen"));
    std::u16string out(aValue, len != nullptr ? len(aValue) : 0);
    Free(aValue);
    return out;
}
