#pragma once
#include "support/LoopbackServer.h" // UnusedLoopbackPort
// The HTTP server of the HTTP channel tests: tests/support/HttpTestServer.py, started on 127.0.0.1 and
// stopped with this object. The script reports its port over a control connection and ends when that
// connection closes, so it never outlives the test program.
#include <cstdint>
#include <string>

#include "base/Text.h"

class HttpTestServer {
public:
    HttpTestServer();
    ~HttpTestServer();
    HttpTestServer(const HttpTestServer&) = delete;
    HttpTestServer& operator=(const HttpTestServer&) = delete;

    // 0 when the server could not be started; Error() then says why.
    std::uint16_t Port() const { return fPort; }
    const std::string& Error() const { return fError; }
    Text Url(const std::string& aPath) const {
        return Utf8ToText("http://127.0.0.1:" + std::to_string(fPort) + aPath);
    }

private:
    std::uint16_t fPort = 0;
    std::string fError;
    std::intptr_t fControl = -1; // the accepted control connection
    std::intptr_t fProcess = 0;  // pid or process handle
};

// True for the Windows build running under Wine, whose WinHTTP lacks a few features.
bool RunningUnderWine();
