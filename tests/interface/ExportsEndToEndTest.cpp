// The built library loaded through its exports, as a host loads it.
#include <gtest/gtest.h>

#include "LoadedLibrary.h"

TEST(ExportsEndToEnd, GetStatusSucceedsWithNullErrorText) {
    LoadedLibrary lib;
    ASSERT_TRUE(lib.IsLoaded()) << lib.LoadError();
    const auto o = lib.Call("GETSTATUS", u"not even xml");
    EXPECT_EQ(o.Result, 0);
    EXPECT_TRUE(o.ErrorWasNull);
    EXPECT_FALSE(o.OutputWasNull);
}
