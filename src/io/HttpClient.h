#pragma once
// tZR_HttpClient: the HTTP client of the HTTP channel. It posts one body at a time on the caller's thread
// through the platform's client (libcurl on POSIX, WinHTTP on Windows), without proxy and without
// following redirects, and keeps the status and body of the answer.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/Text.h"

enum class tZR_HttpAuth : std::uint8_t { None, Basic, Digest };

struct tZR_HttpHeader {
    Text Name;
    Text Value;
};

// One request as the platform's client receives it.
struct tZR_HttpRequest {
    Text Url;
    const std::string* Body = nullptr;
    Text ContentType; // empty: no Content-Type header
    Text User;
    Text Password;
    tZR_HttpAuth Auth = tZR_HttpAuth::None;
    std::vector<tZR_HttpHeader> Headers;
    std::int32_t ConnectTimeout = 1000; // ms, to open the connection
    std::int32_t ReadTimeout = 1000;    // ms, to wait for the answer once connected
};

// What came back. Failure is empty when the exchange completed (whatever the status).
struct tZR_HttpAnswer {
    std::int32_t Code = -1; // the final status, -1 when no answer came
    Text StatusLine;        // e.g. "HTTP/1.1 404 Not Found"
    std::string Body;
    Text Failure;
};

// The platform's part: one exchange per call; it may keep the connection open between calls.
class tZR_HttpTransport {
public:
    static std::unique_ptr<tZR_HttpTransport> Create();
    virtual ~tZR_HttpTransport() = default;
    virtual tZR_HttpAnswer Post(const tZR_HttpRequest& aRequest) = 0;
    // Closes a connection kept open.
    virtual void Close() = 0;
};

class tZR_HttpClient {
public:
    // Answers larger than this fail instead of filling the memory.
    static constexpr std::size_t kMaxResponseBytes = 16u * 1024u * 1024u;

    tZR_HttpClient();
    explicit tZR_HttpClient(std::unique_ptr<tZR_HttpTransport> aTransport);
    ~tZR_HttpClient();
    tZR_HttpClient(const tZR_HttpClient&) = delete;
    tZR_HttpClient& operator=(const tZR_HttpClient&) = delete;

    // Sets request header aName to aValue, replacing one of that name (compared without regard to case);
    // an empty value removes it. Raises for a name that is not an HTTP token or a value with a line break.
    void SetHeader(const Text& aName, const Text& aValue);
    const std::vector<tZR_HttpHeader>& Headers() const { return fHeaders; }

    // A time-out of 0 or less means the default of 1000 ms.
    std::int32_t ConnectTimeout() const { return fConnectTimeout; }
    void SetConnectTimeout(std::int32_t aValue);
    std::int32_t ReadTimeout() const { return fReadTimeout; }
    void SetReadTimeout(std::int32_t aValue);

    // POSTs aBody to aUrl. Returns for a status from 200 to 299 with ResponseText set; otherwise raises with
    // the status line or the reason no answer came, and ResponseCode stays readable (-1: no answer).
    void Post(const Text& aUrl, const std::string& aBody, const Text& aContentType, const Text& aUser,
              const Text& aPassword, tZR_HttpAuth aAuth);

    std::int32_t ResponseCode() const { return fResponseCode; }
    const Text& ResponseText() const { return fResponseText; }
    // True from an exchange that got an answer until Disconnect.
    bool Connected() const { return fConnected; }
    void Disconnect();

private:
    std::unique_ptr<tZR_HttpTransport> fTransport;
    std::vector<tZR_HttpHeader> fHeaders;
    std::int32_t fConnectTimeout = 1000;
    std::int32_t fReadTimeout = 1000;
    std::int32_t fResponseCode = -1;
    Text fResponseText;
    bool fConnected = false;
};
