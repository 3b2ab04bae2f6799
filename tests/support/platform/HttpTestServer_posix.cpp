#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "support/HttpTestServer.h"

extern char** environ;

namespace {
constexpr int kStartWaitMs = 15000;

int ListenLoopback(std::uint16_t& aPort) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 1) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        close(fd);
        return -1;
    }
    aPort = ntohs(address.sin_port);
    return fd;
}

bool WaitReadable(int aFd, int aMs) {
    pollfd p{aFd, POLLIN, 0};
    return poll(&p, 1, aMs) == 1;
}
} // namespace

HttpTestServer::HttpTestServer() {
    std::uint16_t controlPort = 0;
    const int listener = ListenLoopback(controlPort);
    if (listener < 0) {
        fError = "cannot listen on 127.0.0.1: " + std::string(std::strerror(errno));
        return;
    }
    const std::string python = ZR_PYTHON3;
    const std::string script = std::string(ZR_TEST_SUPPORT_DIR) + "/HttpTestServer.py";
    const std::string port = std::to_string(controlPort);
    char* argv[] = {const_cast<char*>(python.c_str()), const_cast<char*>(script.c_str()),
                    const_cast<char*>(port.c_str()), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, python.c_str(), nullptr, nullptr, argv, environ) != 0) {
        fError = "cannot start " + python;
        close(listener);
        return;
    }
    fProcess = pid;
    if (!WaitReadable(listener, kStartWaitMs)) {
        fError = "the HTTP test server did not report back";
        close(listener);
        return;
    }
    const int control = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    close(listener);
    if (control < 0) {
        fError = "accepting the control connection failed";
        return;
    }
    fControl = control;
    std::string line;
    char c = 0;
    while (line.size() < 16 && WaitReadable(control, kStartWaitMs) && read(control, &c, 1) == 1 &&
           c != '\n') {
        line += c;
    }
    fPort = static_cast<std::uint16_t>(std::atoi(line.c_str()));
    if (fPort == 0) {
        fError = "the HTTP test server reported no port";
    }
}

HttpTestServer::~HttpTestServer() {
    if (fControl >= 0) {
        close(static_cast<int>(fControl)); // the script ends when this connection closes
    }
    if (fProcess > 0) {
        const auto pid = static_cast<pid_t>(fProcess);
        for (int i = 0; i < 250; ++i) {
            if (waitpid(pid, nullptr, WNOHANG) == pid) {
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
}

bool RunningUnderWine() {
    return false;
}
