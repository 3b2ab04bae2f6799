// Libraries loaded when a channel first needs them: what a host sees when one is not installed.
#include <gtest/gtest.h>

#include "base/ZrError.h"
#include "io/RuntimeLibrary.h"

namespace {
Text ErrorOf(const std::function<void()>& aAction) {
    try {
        aAction();
    } catch (const ZrError& e) {
        return e.Message();
    }
    return u"(no error)";
}

struct AddApi {
    int (*Add)(int, int) = nullptr;
};
} // namespace

TEST(RuntimeLibrary, BindsTheFunctionsOfAnInstalledLibrary) {
    tZR_RuntimeLibrary library(u"The test", Utf8ToText(ZR_TESTLIB_PATH));
    AddApi api;
    library.Bind(api.Add, "zr_testlib_add");
    EXPECT_EQ(api.Add(2, 40), 42);
}

TEST(RuntimeLibrary, FailuresNameTheLibraryAndWhoNeedsIt) {
    const Text testlib = Utf8ToText(ZR_TESTLIB_PATH);
    const Text missing = ErrorOf([] { tZR_RuntimeLibrary(u"The HTTP channel", u"libzr-absent.so.9"); });
    EXPECT_EQ(missing.rfind(u"The HTTP channel needs libzr-absent.so.9, which cannot be loaded: ", 0), 0u)
        << TextToUtf8(missing);
    EXPECT_GT(missing.size(), std::u16string_view(u"The HTTP channel needs libzr-absent.so.9, which cannot "
                                                  u"be loaded: ")
                                  .size()); // the system's reason follows

    const Text noFunction = ErrorOf([&] {
        tZR_RuntimeLibrary library(u"The spooler", testlib);
        AddApi api;
        library.Bind(api.Add, "zr_testlib_absent");
    });
    EXPECT_EQ(noFunction, testlib + u" has no function zr_testlib_absent (The spooler needs it)");
}

TEST(RuntimeLibrary, AFailedFirstLoadIsReportedOnEveryUseWithoutRetrying) {
    int attempts = 0;
    const auto get = [&attempts] {
        return LoadRuntimeApiOnce<AddApi>([&attempts](AddApi&) {
            ++attempts;
            tZR_RuntimeLibrary(u"The test", u"libzr-absent.so.9");
        });
    };
    const Text first = ErrorOf([&] { get(); });
    const Text second = ErrorOf([&] { get(); });
    EXPECT_EQ(first.rfind(u"The test needs libzr-absent.so.9", 0), 0u) << TextToUtf8(first);
    EXPECT_EQ(second, first);
    EXPECT_EQ(attempts, 1);
}
