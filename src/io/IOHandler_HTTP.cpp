#include "io/IOHandler_HTTP.h"

#include "base/ZrError.h"

namespace {
struct StatusText {
    std::int32_t Code;
    const char16_t* Text;
};

constexpr StatusText kStatusTexts[] = {
    {100, u"Continue"},
    {101, u"Switching Protocol"},
    {102, u"Processing (WebDAV)"},
    {200, u"OK"},
    {201, u"Created"},
    {202, u"Accepted"},
    {203, u"Non-Authoritative Information"},
    {204, u"No Content"},
    {205, u"Reset Content"},
    {206, u"Partial Content"},
    {207, u"Multi-Status (WebDAV)"},
    {208, u"Multi-Status (WebDAV)"},
    {226, u"IM Used (HTTP Delta encoding)"},
    {300, u"Multiple Choice"},
    {301, u"Moved Permanently"},
    {302, u"Found"},
    {303, u"See Other"},
    {304, u"Not Modified"},
    {305, u"Use Proxy "},
    {306, u"unused"},
    {307, u"Temporary Redirect"},
    {308, u"Permanent Redirect"},
    {400, u"Bad Request"},
    {401, u"Unauthorized"},
    {402, u"Payment Required"},
    {403, u"Forbidden"},
    {404, u"Not Found"},
    {405, u"Method Not Allowed"},
    {406, u"Not Acceptable"},
    {407, u"Proxy Authentication Required"},
    {408, u"Request Timeout"},
    {409, u"Conflict"},
    {410, u"Gone"},
    {411, u"Length Required"},
    {412, u"Precondition Failed"},
    {413, u"Payload Too Large"},
    {414, u"URI Too Long"},
    {415, u"Unsupported Media Type"},
    {416, u"Requested Range Not Satisfiable"},
    {417, u"Expectation Failed"},
    {418, u"I'm a teapot"},
    {421, u"Misdirected Request"},
    {422, u"Unprocessable Entity (WebDAV)"},
    {423, u"Locked (WebDAV)"},
    {424, u"Failed Dependency (WebDAV)"},
    {426, u"Upgrade Required"},
    {428, u"Precondition Required"},
    {429, u"Too Many Requests"},
    {431, u"Request Header Fields Too Large"},
    {451, u"Unavailable For Legal Reasons"},
    {500, u"Internal Server Error"},
    {501, u"Not Implemented"},
    {502, u"Bad Gateway"},
    {503, u"Service Unavailable"},
    {504, u"Gateway Timeout"},
    {505, u"HTTP Version Not Supported"},
    {506, u"Variant Also Negotiates"},
    {507, u"Insufficient Storage"},
    {508, u"Loop Detected (WebDAV)"},
    {510, u"Not Extended"},
    {511, u"Network Authentication Required"},
};

tZR_HttpAuth ClientAuth(zrHTTPAuthType aType) {
    switch (aType) {
    case zrHTTPAuthType::at_Basic:
        return tZR_HttpAuth::Basic;
    case zrHTTPAuthType::at_Digest:
        return tZR_HttpAuth::Digest;
    default:
        // A bearer token is a header set through SetParameter; nothing to add here.
        return tZR_HttpAuth::None;
    }
}
} // namespace

kIOHandler_HTTP::kIOHandler_HTTP(const kConnection* aConnection, const Text& aDirectory,
                                 const Text& aFileName)
    : kIOHandler(aConnection, aDirectory, aFileName), fHttpClient(std::make_unique<tZR_HttpClient>()) {
    Init(aConnection);
}

kIOHandler_HTTP::kIOHandler_HTTP(const kConnection* aConnection, const Text& aDirectory,
                                 const Text& aFileName, std::unique_ptr<tZR_HttpTransport> aTransport)
    : kIOHandler(aConnection, aDirectory, aFileName),
      fHttpClient(std::make_unique<tZR_HttpClient>(std::move(aTransport))) {
    Init(aConnection);
}

kIOHandler_HTTP::~kIOHandler_HTTP() {
    fHttpClient.reset();
}

void kIOHandler_HTTP::Init(const kConnection* aConnection) {
    if (aConnection == nullptr) {
        return;
    }
    if (!aConnection->URL.empty()) {
        fURL = aConnection->URL;
    } else {
        fURL = aConnection->Address;
        if (aConnection->Port > 0) {
            fURL += u":" + IntToText(aConnection->Port);
        }
    }
    fAuthType = aConnection->AuthType;
    fUser = aConnection->User;
    fPassword = aConnection->Password;
    fHttpClient->SetConnectTimeout(ConnectTimeout());
}

bool kIOHandler_HTTP::GetConnected() {
    return fHttpClient->Connected();
}

bool kIOHandler_HTTP::Connect() {
    kIOHandler::Connect();
    Debug(tZR_MessageType::let_info, u"URL=" + fURL);
    fHttpClient->SetConnectTimeout(ConnectTimeout());
    return true;
}

bool kIOHandler_HTTP::Disconnect() {
    fHttpClient->Disconnect();
    return !fHttpClient->Connected();
}

bool kIOHandler_HTTP::Write(const Text& aMessage) {
    const std::string body = TextToUtf8(aMessage);
    WriteLog(tZR_MessageType::let_info, u"Write [" + UIntToText(body.size()) + u"]", aMessage);

    fHttpClient->SetReadTimeout(ReadTimeout());
    try {
        fHttpClient->Post(fURL, body, fContentType, fUser, fPassword, ClientAuth(fAuthType));
        fResponse = fHttpClient->ResponseText();
        fResponseCode = fHttpClient->ResponseCode();
    } catch (const std::exception& e) {
        const Text message = ExceptionMessage(e);
        WriteLog(tZR_MessageType::let_error, u"Post Error", message);
        const std::int32_t code = fHttpClient->ResponseCode();
        if (code < 200 || code > 299) {
            fResponseCode = code;
            SetCustomError(code, message + u" " + DecodeError(code));
            WriteLog(tZR_MessageType::let_error, u"Post Error", IntToText(code) + u" " + DecodeError(code));
        } else {
            fResponseCode = 999;
            SetCustomError(999, message);
        }
    }
    WriteLog(tZR_MessageType::let_info, u"Read",
             u"ResponseCode:" + IntToText(fResponseCode) + u"\r\n" + fResponse);
    return fResponseCode >= 200 && fResponseCode <= 299;
}

Text kIOHandler_HTTP::DecodeError(std::int32_t aErrorCode) {
    for (const auto& entry : kStatusTexts) {
        if (entry.Code == aErrorCode) {
            return entry.Text;
        }
    }
    return u"Unknown";
}

void kIOHandler_HTTP::SetParameter(const Text& aName, const Text& aValue) {
    fHttpClient->SetHeader(aName, aValue);
}
