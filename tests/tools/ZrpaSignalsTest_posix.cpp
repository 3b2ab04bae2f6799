// What needs POSIX terminals and signals: the progress display on a pseudo-terminal (updated in place:
// carriage returns, no line feeds), Ctrl+C (a cancel) while the terminal holds the payment, and `zrpa
// emulator` serving `zrpa pay` until Ctrl+C stops it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "ZrpaToolSupport.h"
#include "support/TerminalEmulatorFixture.h"

namespace {
struct PtyRun {
    std::string Screen;
    int Status = -1;
};

// zrpa with these arguments, its standard error on a pseudo-terminal. aInterruptWhen: once the screen
// shows this text, the child gets SIGINT (Ctrl+C). Reads until the child closes its end, at most about
// two minutes.
PtyRun RunOnPty(const std::vector<std::string>& aArgs, const std::string& aInterruptWhen = std::string()) {
    PtyRun run;
    int master = -1, slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
        return run;
    }
    std::vector<std::string> storage;
    std::vector<char*> argv = ArgumentVector(ZrpaProgram(), aArgs, storage);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(slave, 2);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(slave);
    bool interrupted = false;
    for (int round = 0; pid > 0 && round < 1200; ++round) {
        pollfd p{master, POLLIN, 0};
        if (::poll(&p, 1, 100) > 0) {
            char buf[512];
            const ssize_t n = ::read(master, buf, sizeof buf);
            if (n <= 0) {
                break;
            }
            run.Screen.append(buf, static_cast<std::size_t>(n));
        }
        if (!aInterruptWhen.empty() && !interrupted && run.Screen.find(aInterruptWhen) != std::string::npos) {
            ::kill(pid, SIGINT);
            interrupted = true;
        }
    }
    ::close(master);
    int status = 0;
    if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
        run.Status = WEXITSTATUS(status);
    }
    return run;
}
} // namespace

TEST(ZrpaEndToEnd, ProgressOnATerminalIsUpdatedInPlace) {
    EmulatedTerminal terminal;
    const PtyRun run = RunOnPty({"pay", "1.00", "--ecr", "--tcp",
                                 "127.0.0.1:" + std::to_string(terminal.Port()), "--log-id", "zrpa-e2e-pty"});
    EXPECT_EQ(run.Status, 0);
    EXPECT_NE(run.Screen.find("\r0 s: "), std::string::npos) << run.Screen;
    EXPECT_EQ(run.Screen.find("0 s: \n"), std::string::npos) << run.Screen;
    // The line is cleared at the end: the last thing shown is a carriage return.
    EXPECT_TRUE(run.Screen.ends_with("\r")) << run.Screen;
}

// Ctrl+C cancels the call through the library: it returns its own result (the request was sent, so the
// outcome is unknown) instead of zrpa leaving it behind.
TEST(ZrpaEndToEnd, CtrlCWhileTheTerminalHoldsThePaymentCancelsItAsUnknown) {
    p17emu::Config silent;
    silent.FaultKind = p17emu::Fault::Silence; // acknowledged, never answered
    silent.FaultOn = "X";
    EmulatedTerminal terminal(silent);
    const PtyRun run = RunOnPty({"pay", "1.00", "--tcp", "127.0.0.1:" + std::to_string(terminal.Port()),
                                 "--log-id", "zrpa-e2e-interrupt"},
                                "\r2 s: ");
    EXPECT_EQ(run.Status, 3) << run.Screen;
    EXPECT_NE(run.Screen.find("Cancelling: the library stops waiting for the terminal"), std::string::npos)
        << run.Screen;
    EXPECT_EQ(run.Screen.find("The terminal may still complete the payment"), std::string::npos)
        << "zrpa waited for the cancelled call: " << run.Screen;
}

TEST(ZrpaEndToEnd, OneProgramServesBothEndsOnABench) {
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    const std::string program = ZrpaProgram();
    const pid_t emulator = ::fork();
    if (emulator == 0) {
        ::dup2(out[1], 1);
        ::close(out[0]);
        ::execl(program.c_str(), program.c_str(), "emulator", "--tcp", "0", "--decline",
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ASSERT_GT(emulator, 0);
    ::close(out[1]);
    // "terminal 10000001 listening on 127.0.0.1:PORT", within about a minute.
    std::string shown;
    const std::string marker = "listening on 127.0.0.1:";
    for (int round = 0; round < 600 && shown.find('\n', shown.find(marker)) == std::string::npos; ++round) {
        pollfd p{out[0], POLLIN, 0};
        if (::poll(&p, 1, 100) > 0) {
            char buf[256];
            const ssize_t n = ::read(out[0], buf, sizeof buf);
            if (n <= 0) {
                break;
            }
            shown.append(buf, static_cast<std::size_t>(n));
        }
    }
    const std::size_t at = shown.find(marker);
    ASSERT_NE(at, std::string::npos) << shown;
    const std::string port = shown.substr(at + marker.size(), shown.find('\n', at) - at - marker.size());
    const ChildOutcome pay =
        RunZrpaProgram({"pay", "1.00", "--eft", "--tcp", "127.0.0.1:" + port, "--log-id", "zrpa-e2e-bench"});
    EXPECT_EQ(pay.Status, 1) << pay.Out << pay.Err; // the emulator declines, as it was told
    EXPECT_NE(pay.Out.find("pay: declined"), std::string::npos) << pay.Out;
    ::kill(emulator, SIGINT);
    int status = 0;
    ::waitpid(emulator, &status, 0);
    ::close(out[0]);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}
