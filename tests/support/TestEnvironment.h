#pragma once
// Sets the library's process-wide state up once for the unit tests, as loading the library would.
#include <gtest/gtest.h>

#include "interface/Library.h"

class LibraryEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(LibraryLoad()) << "the library's state could not be set up"; }
    void TearDown() override { LibraryUnload(); }
};
