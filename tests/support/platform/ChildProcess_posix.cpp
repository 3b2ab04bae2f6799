#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "support/ChildProcess.h"
#include "support/TempFolder.h"

ChildOutcome RunChild(const std::string& aProgram, const std::vector<std::string>& aArgs,
                      const std::string& aInput, int aTimeoutMs) {
    TempFolder folder;
    const auto in = folder.Path() / "in", out = folder.Path() / "out", err = folder.Path() / "err";
    std::ofstream(in, std::ios::binary) << aInput;
    std::vector<std::string> storage;
    std::vector<char*> argv = ArgumentVector(aProgram, aArgs, storage);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int fdIn = ::open(in.c_str(), O_RDONLY);
        const int fdOut = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int fdErr = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fdIn, 0);
        ::dup2(fdOut, 1);
        ::dup2(fdErr, 2);
        ::execv(aProgram.c_str(), argv.data());
        ::_exit(127);
    }
    ChildOutcome outcome;
    if (pid < 0) {
        return outcome;
    }
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(aTimeoutMs);
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            status = -1;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    outcome.Status = status >= 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    outcome.Out = ReadFileBytes(out);
    outcome.Err = ReadFileBytes(err);
    return outcome;
}
