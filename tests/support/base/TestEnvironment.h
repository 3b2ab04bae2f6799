#pragma once
// The process-wide state a test program sets up once around all its tests, as loading the library would
// set it up for the layers the program tests. Each program is built with exactly one definition:
//   support/base/NoEnvironment.cpp              nothing (base, platform, the tools)
//   support/runtime/ApplicationEnvironment.cpp  the application context (runtime up to the drivers)
//   support/interface/LibraryEnvironment.cpp    the whole library load (interface and above)
#include <gtest/gtest.h>

// A new environment for ::testing::AddGlobalTestEnvironment, or nullptr when the program needs none.
::testing::Environment* NewTestEnvironment();
