#include <gtest/gtest.h>

#include "support/TestEnvironment.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::Environment* environment = NewTestEnvironment()) {
        ::testing::AddGlobalTestEnvironment(environment);
    }
    return RUN_ALL_TESTS();
}
