#pragma once
// The print queues the spooler channel's tests print to: a private CUPS scheduler with queues on file
// devices (support/CupsScheduler.h). The Linux tests start it in their own process. The Windows tests,
// run under Wine, print through the one zr_cups_rig (tests/support/CupsRig_posix.cpp) started around
// them: Wine's spooler finds its queues as printers (CUPS_SERVER), and ZR_TEST_CUPS_ROOT names its folder,
// so a job goes through winspool or GDI, Wine's printer driver and CUPS to the file the test reads.
#include <filesystem>
#include <memory>
#include <string>

constexpr const char* kSpoolPageQueue = "ZrPagePrinter";  // takes every job
constexpr const char* kSpoolRefusingQueue = "ZrRefusing"; // exists, but accepts no job

class SpoolQueues {
public:
    // The program's queues, set up at the first call and kept until it ends.
    static const SpoolQueues& Get();

    // Empty when the queues are there; otherwise why not.
    const std::string& Unavailable() const { return fUnavailable; }
    // Makes the calling thread print to them (where the client library's setting is per thread).
    void UseOnThisThread() const;
    // Whether a RAW job's caller learns that the queue refused it. CUPS answers the job's submission;
    // Windows' spooler takes the job into its own queue first and meets the refusal later, after the call.
    bool ReportsRefusedRawJobs() const;
    // Forgets what aQueue printed so far.
    void Clear(const std::string& aQueue) const;
    // What aQueue printed since Clear, once no job is pending (a bounded wait); false when one still was.
    bool Job(const std::string& aQueue, std::string& aBytes) const;

private:
    bool WaitIdle(const std::string& aQueue) const;

    std::filesystem::path fRoot; // the scheduler's folder
    std::string fUnavailable;
    std::shared_ptr<void> fScheduler; // where this process runs it
};
