#include "support/SpoolQueues.h"

#include <fstream>
#include <sstream>

namespace {
std::filesystem::path OutputFile(const std::filesystem::path& aRoot, const std::string& aQueue) {
    return aRoot / "out" / (aQueue + ".out"); // as CupsScheduler::OutputFile
}
} // namespace

void SpoolQueues::Clear(const std::string& aQueue) const {
    std::error_code ec;
    std::filesystem::remove(OutputFile(fRoot, aQueue), ec);
}

bool SpoolQueues::Job(const std::string& aQueue, std::string& aBytes) const {
    const bool idle = WaitIdle(aQueue);
    std::ifstream in(OutputFile(fRoot, aQueue), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    aBytes = s.str();
    return idle;
}
