#include <dlfcn.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <type_traits>

#include "io/DynamicLibrary.h"

namespace {
bool UsableName(const Text& aName) {
    return !aName.empty() && aName.find(u'\0') == Text::npos;
}

// dlopen reports through dlerror and leaves errno unset: name the likely system cause instead.
int LikelyCause(const Text& aName) {
    if (aName.find(u'/') == Text::npos) {
        return ENOENT; // searched for and not found
    }
    struct stat info {};
    if (stat(TextToUtf8(aName).c_str(), &info) != 0) {
        return errno;
    }
    return ENOEXEC; // there, but not a loadable library
}
} // namespace

void* tZR_DynamicLibrary::Load(const Text& aName, Failure& aFailure) {
    // dlopen(nullptr) or a name cut at a NUL would hand back some other image: refuse both.
    if (!UsableName(aName)) {
        aFailure.Code = EINVAL;
        aFailure.Message = OsErrorMessage(EINVAL);
        return nullptr;
    }
    dlerror();
    errno = 0;
    void* handle = dlopen(TextToUtf8(aName).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const int error = errno;
        const char* text = dlerror();
        aFailure.Code = error != 0 ? error : LikelyCause(aName);
        aFailure.Message = text != nullptr ? Utf8ToText(text) : OsErrorMessage(aFailure.Code);
    }
    return handle;
}

void* tZR_DynamicLibrary::Address(void* aHandle, const Text& aName) {
    if (aHandle == nullptr || !UsableName(aName)) {
        return nullptr;
    }
    return dlsym(aHandle, TextToUtf8(aName).c_str());
}

void tZR_DynamicLibrary::Unload(void* aHandle) {
    if (aHandle != nullptr) {
        dlclose(aHandle);
    }
}

Text OsErrorMessage(std::int32_t aCode) {
    return OsMessageText(aCode);
}

Text OsMessageText(std::int32_t aCode, const Text&) {
    char buffer[256] = {};
    // The GNU strerror_r returns the text (maybe a static one), the XSI one fills the buffer.
    const auto result = strerror_r(aCode, buffer, sizeof buffer);
    if constexpr (std::is_same_v<std::remove_cv_t<decltype(result)>, char*>) {
        return Utf8ToText(result != nullptr ? result : buffer);
    } else {
        return Utf8ToText(buffer);
    }
}
