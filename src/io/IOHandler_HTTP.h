#pragma once
// kIOHandler_HTTP: the channel of connection type HTTP. Each written text is posted (UTF-8) to the URL;
// the answer's status and body are kept. Nothing is read from a stream.
#include <memory>

#include "io/HttpClient.h"
#include "io/IOHandler.h"

class kIOHandler_HTTP : public kIOHandler {
public:
    // URL: the connection's URL, or its Address (with ":" + Port when Port > 0) when the URL is empty.
    kIOHandler_HTTP(const kConnection* aConnection, const Text& aDirectory, const Text& aFileName);
    // For tests: the same channel over a transport of the caller's choice.
    kIOHandler_HTTP(const kConnection* aConnection, const Text& aDirectory, const Text& aFileName,
                    std::unique_ptr<tZR_HttpTransport> aTransport);
    ~kIOHandler_HTTP() override;

    bool GetConnected() override;
    // Header block and "URL=" line; sets the connect time-out. No network traffic.
    bool Connect() override;
    bool Disconnect() override;
    // Posts aMessage; true for an answer from 200 to 299. A failure fills the error fields (code: the
    // status, -1 without answer, 999 for a failure after a 2xx status); a success does not clear them.
    bool Write(const Text& aMessage) override;
    // The HTTP status text of aErrorCode, "Unknown" for codes without one.
    Text DecodeError(std::int32_t aErrorCode) override;
    // Sets the request header aName (a bearer token travels this way); an empty value removes it.
    void SetParameter(const Text& aName, const Text& aValue) override;
    Text ClassName() const override { return u"kIOHandler_HTTP"; }

    const Text& ContentType() const { return fContentType; }
    void SetContentType(const Text& aValue) { fContentType = aValue; }
    const Text& URL() const { return fURL; }
    void SetURL(const Text& aValue) { fURL = aValue; }
    zrHTTPAuthType AuthType() const { return fAuthType; }
    void SetAuthType(zrHTTPAuthType aValue) { fAuthType = aValue; }
    const Text& User() const { return fUser; }
    void SetUser(const Text& aValue) { fUser = aValue; }
    const Text& Password() const { return fPassword; }
    void SetPassword(const Text& aValue) { fPassword = aValue; }
    const Text& Response() const { return fResponse; }
    void SetResponse(const Text& aValue) { fResponse = aValue; }
    std::int32_t ResponseCode() const { return fResponseCode; }
    void SetResponseCode(std::int32_t aValue) { fResponseCode = aValue; }

    tZR_HttpClient& HttpClient() { return *fHttpClient; }

private:
    void Init(const kConnection* aConnection);

    std::unique_ptr<tZR_HttpClient> fHttpClient;
    Text fContentType;
    Text fURL;
    zrHTTPAuthType fAuthType = zrHTTPAuthType::at_None;
    Text fUser;
    Text fPassword;
    Text fResponse;
    std::int32_t fResponseCode = 0;
};
