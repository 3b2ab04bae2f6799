// Under Wine the script runs as a native process: CreateProcess starts a Unix program named by its Unix
// path. The process handle of such a program cannot be waited for, so the server's end is its own
// (it stops when the control connection closes).
#include <windows.h>
#include <winsock2.h>

#include <string>

#include "support/HttpTestServer.h"

namespace {
constexpr int kStartWaitMs = 15000;

struct WinsockUser {
    WinsockUser() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
    ~WinsockUser() { WSACleanup(); }
};

SOCKET ListenLoopback(std::uint16_t& aPort) {
    static WinsockUser winsock;
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
        return s;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(s, 1) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        closesocket(s);
        return INVALID_SOCKET;
    }
    aPort = ntohs(address.sin_port);
    return s;
}

bool WaitReadable(SOCKET aSocket, int aMs) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(aSocket, &set);
    timeval wait{aMs / 1000, (aMs % 1000) * 1000};
    return select(0, &set, nullptr, nullptr, &wait) == 1;
}
} // namespace

HttpTestServer::HttpTestServer() {
    std::uint16_t controlPort = 0;
    const SOCKET listener = ListenLoopback(controlPort);
    if (listener == INVALID_SOCKET) {
        fError = "cannot listen on 127.0.0.1";
        return;
    }
    const std::string command = std::string("\"") + ZR_PYTHON3 + "\" \"" + ZR_TEST_SUPPORT_DIR +
                                "/HttpTestServer.py\" " + std::to_string(controlPort);
    std::wstring wide(command.begin(), command.end());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, wide.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        fError =
            "cannot start " + std::string(ZR_PYTHON3) + " (error " + std::to_string(GetLastError()) + ")";
        closesocket(listener);
        return;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (!WaitReadable(listener, kStartWaitMs)) {
        fError = "the HTTP test server did not report back (python3 is a Linux program: Wine only)";
        closesocket(listener);
        return;
    }
    const SOCKET control = accept(listener, nullptr, nullptr);
    closesocket(listener);
    if (control == INVALID_SOCKET) {
        fError = "accepting the control connection failed";
        return;
    }
    fControl = static_cast<std::intptr_t>(control);
    std::string line;
    char c = 0;
    while (line.size() < 16 && WaitReadable(control, kStartWaitMs) && recv(control, &c, 1, 0) == 1 &&
           c != '\n') {
        line += c;
    }
    fPort = static_cast<std::uint16_t>(std::atoi(line.c_str()));
    if (fPort == 0) {
        fError = "the HTTP test server reported no port";
    }
}

HttpTestServer::~HttpTestServer() {
    if (fControl != -1) {
        closesocket(static_cast<SOCKET>(fControl));
    }
}

bool RunningUnderWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}
