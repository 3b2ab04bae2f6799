#include "runtime/Application.h"
#include "runtime/LogWriter.h"
#include "support/TestEnvironment.h"

namespace {
// The application context (application log, command-line switches, version table) made and freed as
// the library's load and unload do, for tests of the layers that write to the application log.
class ApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        tZR_LogWriter::SetLibraryUnloading(false);
        ASSERT_NO_THROW(CreateApplicationContext()) << "the application context could not be set up";
    }
    void TearDown() override {
        tZR_LogWriter::SetLibraryUnloading(true);
        FreeApplicationContext(true);
    }
};
} // namespace

::testing::Environment* NewTestEnvironment() {
    return new ApplicationEnvironment();
}
