// Runs a command beside a private CUPS scheduler with the queues of the spooler channel's tests: the
// Windows test programs, under Wine, print through it. CUPS_SERVER and ZR_TEST_CUPS_ROOT name it to the
// command. Where no scheduler can be started here, ZR_TEST_CUPS_UNAVAILABLE says why and the command
// runs all the same (its spooler tests then skip, giving that reason). The command's exit status is
// this program's.
//   build/linux/bin/zr_cups_rig tests/support/PtyWineComPair.sh build/win64/bin/zr_*_tests.exe
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "support/CupsScheduler.h"
#include "support/SpoolQueues.h"

extern char** environ;

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s command [arguments...]\n", argv[0]);
        return 2;
    }
    CupsScheduler cups({kSpoolPageQueue}, {kSpoolRefusingQueue});
    if (cups.Running()) {
        setenv("CUPS_SERVER", cups.Socket().c_str(), 1);
        setenv("ZR_TEST_CUPS_ROOT", cups.Root().c_str(), 1);
    } else {
        std::fprintf(stderr, "zr_cups_rig: no CUPS scheduler for the spooler tests: %s\n",
                     cups.Error().c_str());
        setenv("ZR_TEST_CUPS_UNAVAILABLE", cups.Error().c_str(), 1);
    }
    pid_t child = 0;
    if (posix_spawnp(&child, argv[1], nullptr, nullptr, argv + 1, environ) != 0) {
        std::fprintf(stderr, "zr_cups_rig: cannot start %s\n", argv[1]);
        return 127;
    }
    int status = 0;
    pid_t waited = -1;
    do {
        waited = waitpid(child, &status, 0);
    } while (waited < 0 && errno == EINTR);
    if (waited < 0) {
        std::perror("zr_cups_rig: waitpid");
        return 127;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
