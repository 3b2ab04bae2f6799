// The progress display on a terminal: zrpa's standard error is a pseudo-terminal, and the waiting line
// is updated in place (carriage returns, no line feeds).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include "ZrpaToolSupport.h"
#include "support/TerminalEmulatorFixture.h"

TEST(ZrpaEndToEnd, ProgressOnATerminalIsUpdatedInPlace) {
    EmulatedTerminal terminal;
    int master = -1, slave = -1;
    ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    const std::string program = ZrpaProgram();
    const std::string port = "127.0.0.1:" + std::to_string(terminal.Port());
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(slave, 2);
        ::execl(program.c_str(), program.c_str(), "pay", "1.00", "--ecr", "--tcp", port.c_str(), "--log-id",
                "zrpa-e2e-pty", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ASSERT_GT(pid, 0);
    ::close(slave);
    std::string screen;
    // Until the child has closed its end (EIO or end of file), at most about two minutes.
    for (int round = 0; round < 1200; ++round) {
        pollfd p{master, POLLIN, 0};
        if (::poll(&p, 1, 100) > 0) {
            char buf[512];
            const ssize_t n = ::read(master, buf, sizeof buf);
            if (n <= 0) {
                break;
            }
            screen.append(buf, static_cast<std::size_t>(n));
        }
    }
    ::close(master);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_NE(screen.find("\rwaiting for the terminal: 0 s | "), std::string::npos) << screen;
    EXPECT_EQ(screen.find("waiting for the terminal: 0 s |\n"), std::string::npos) << screen;
    // The line is cleared at the end: the last thing shown is a carriage return.
    EXPECT_TRUE(screen.ends_with("\r")) << screen;
}
