#pragma once
// A private CUPS scheduler for the spooler channel's tests: cupsd with its own configuration, spool and
// state folders, listening only on a local socket, with queues on file devices (tests/support/
// CupsTestPrinter.ppd). The client library of this process is pointed at it while the object lives.
#include <filesystem>
#include <string>
#include <vector>

class CupsScheduler {
public:
    // aRefusing: queues that exist but do not accept jobs.
    explicit CupsScheduler(const std::vector<std::string>& aQueues,
                           const std::vector<std::string>& aRefusing = {});
    ~CupsScheduler();
    CupsScheduler(const CupsScheduler&) = delete;
    CupsScheduler& operator=(const CupsScheduler&) = delete;

    // False when cupsd could not be started here; Error() then says why.
    bool Running() const { return fPid > 0 && fError.empty(); }
    const std::string& Error() const { return fError; }
    // The scheduler's folder (its configuration, spool and the file devices' output).
    const std::filesystem::path& Root() const { return fRoot; }
    // The local socket the client library reaches it on (for CUPS_SERVER).
    const std::string& Socket() const { return fSocket; }
    // Where the file device of aQueue writes each job.
    std::filesystem::path OutputFile(const std::string& aQueue) const {
        return fRoot / "out" / (aQueue + ".out");
    }
    // Waits (boundedly) until aQueue has no pending or processing job; false when that did not happen.
    bool WaitIdle(const std::string& aQueue) const;
    // Points the client library of the calling thread at this scheduler (each thread has its own setting).
    void UseOnThisThread() const;

private:
    void Start(const std::vector<std::string>& aQueues, const std::vector<std::string>& aRefusing);

    std::filesystem::path fRoot;
    std::string fSocket;
    std::string fError;
    int fPid = 0;
    std::string fPreviousServer;
    bool fHadPreviousServer = false;
};
