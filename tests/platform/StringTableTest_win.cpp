// The DLL as shipped carries the version-history table and the version resource: read them from the built
// DLL's own resources, without running its code.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/Process.h"
#include "platform/StringTable.h"

namespace {
struct DataModule {
    HMODULE module = nullptr;
    DataModule() {
        const Text path = ExecutableDirectory() + u"\\ZRPA_RIVEVEDEV17_10.dll";
        module = LoadLibraryExW(reinterpret_cast<LPCWSTR>(path.c_str()), nullptr,
                                LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    }
    ~DataModule() {
        if (module != nullptr) {
            FreeLibrary(module);
        }
    }
};

Text StringOf(HMODULE aModule, UINT aId) {
    wchar_t buffer[1025];
    const int n = LoadStringW(aModule, aId, buffer, 1025);
    return n > 0 ? Text(reinterpret_cast<const char16_t*>(buffer), static_cast<std::size_t>(n)) : Text();
}

TEST(StringTableWin, DllCarriesTheTableAndVersion127) {
    DataModule dll;
    ASSERT_NE(dll.module, nullptr) << "ZRPA_RIVEVEDEV17_10.dll beside the test program";
    for (UINT id = 10000; id <= 10131; ++id) {
        const Text fromDll = StringOf(dll.module, id);
        EXPECT_EQ(fromDll, LoadOwnString(id)) << id;
        EXPECT_EQ(fromDll.empty(), id > 10120) << id;
    }
    EXPECT_EQ(StringOf(dll.module, 10002), u"$VERSION=1.00");
    EXPECT_EQ(StringOf(dll.module, 10117), u"$RELEASEDATE=30/05/2026");

    // VS_FIXEDFILEINFO follows the key "VS_VERSION_INFO" in the version resource.
    const HRSRC info = FindResourceW(dll.module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16));
    ASSERT_NE(info, nullptr);
    const auto* bytes = static_cast<const unsigned char*>(LockResource(LoadResource(dll.module, info)));
    const DWORD size = SizeofResource(dll.module, info);
    const VS_FIXEDFILEINFO* fixed = nullptr;
    for (DWORD offset = 0; offset + sizeof(VS_FIXEDFILEINFO) <= size; offset += 4) {
        const auto* candidate = reinterpret_cast<const VS_FIXEDFILEINFO*>(bytes + offset);
        if (candidate->dwSignature == 0xFEEF04BD) {
            fixed = candidate;
            break;
        }
    }
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(MAKELONG(27, 1)));
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, static_cast<DWORD>(MAKELONG(27, 1)));
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);
}
} // namespace
