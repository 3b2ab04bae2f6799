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
