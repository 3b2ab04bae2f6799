#include <windows.h>

#include <cstdlib>

#include "support/SpoolQueues.h"

namespace {
constexpr int kPollMs = 50;
constexpr int kJobWaitMs = 20000;
} // namespace

const SpoolQueues& SpoolQueues::Get() {
    static const SpoolQueues queues = [] {
        SpoolQueues q;
        const char* root = std::getenv("ZR_TEST_CUPS_ROOT");
        const char* why = std::getenv("ZR_TEST_CUPS_UNAVAILABLE");
        if (root == nullptr || *root == '\0') {
            q.fUnavailable = why != nullptr ? std::string("no CUPS scheduler: ") + why
                                            : std::string("ZR_TEST_CUPS_ROOT is not set: run the program "
                                                          "through build/linux/bin/zr_cups_rig under Wine");
            return q;
        }
        // The scheduler's Unix folder, through the drive Wine maps to the root of the file system.
        q.fRoot = std::filesystem::path(std::string("Z:") + root);
        if (!std::filesystem::is_directory(q.fRoot)) {
            q.fUnavailable = "ZR_TEST_CUPS_ROOT names no folder: " + q.fRoot.string();
        }
        return q;
    }();
    return queues;
}

// Wine's spooler reads CUPS_SERVER from the environment it was started with.
void SpoolQueues::UseOnThisThread() const {}

// A job's data file stays in the scheduler's spool folder (d<job>-<document>) until the job has ended.
bool SpoolQueues::WaitIdle(const std::string&) const {
    for (int waited = 0; waited < kJobWaitMs; waited += kPollMs) {
        bool pending = false;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(fRoot / "spool", ec)) {
            pending = pending || entry.path().filename().string().starts_with("d");
        }
        if (!pending && !ec) {
            return true;
        }
        Sleep(kPollMs);
    }
    return false;
}

bool SpoolQueues::ReportsRefusedRawJobs() const {
    return false;
}
