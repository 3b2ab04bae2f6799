#include "interface/Library.h"
#include "support/TestEnvironment.h"

namespace {
// The library's process-wide state, set up once as loading the library would.
class LibraryEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(LibraryLoad()) << "the library's state could not be set up"; }
    void TearDown() override { LibraryUnload(); }
};
} // namespace

::testing::Environment* NewTestEnvironment() {
    return new LibraryEnvironment();
}
