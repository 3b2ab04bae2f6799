#pragma once
// Runs a program as a child process, as a technician runs it from a shell: arguments, standard input
// from a text, standard output and error collected (through files, so neither can fill up and block).
#include <string>
#include <vector>

struct ChildOutcome {
    int Status = -1; // exit status; -1 when it could not be started or was killed after the time limit
    std::string Out;
    std::string Err;
};

// Waits at most aTimeoutMs, then kills the child. aInput is written to its standard input.
ChildOutcome RunChild(const std::string& aProgram, const std::vector<std::string>& aArgs,
                      const std::string& aInput = std::string(), int aTimeoutMs = 120000);

// aProgram and aArgs as the null-terminated vector exec takes; aStorage keeps the texts it points to.
inline std::vector<char*> ArgumentVector(const std::string& aProgram, const std::vector<std::string>& aArgs,
                                         std::vector<std::string>& aStorage) {
    aStorage.assign(1, aProgram);
    aStorage.insert(aStorage.end(), aArgs.begin(), aArgs.end());
    std::vector<char*> argv;
    for (auto& a : aStorage) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    return argv;
}
