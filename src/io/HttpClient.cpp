#include "io/HttpClient.h"

#include <algorithm>

#include "base/ZrError.h"

namespace {
constexpr std::int32_t kDefaultTimeout = 1000;

// RFC 9110 token characters.
bool IsTokenChar(char16_t c) {
    if ((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')) {
        return true;
    }
    return Text(u"!#$%&'*+-.^_`|~").find(c) != Text::npos;
}
} // namespace

tZR_HttpClient::tZR_HttpClient() : fTransport(tZR_HttpTransport::Create()) {}

tZR_HttpClient::tZR_HttpClient(std::unique_ptr<tZR_HttpTransport> aTransport)
    : fTransport(std::move(aTransport)) {}

tZR_HttpClient::~tZR_HttpClient() = default;

void tZR_HttpClient::SetHeader(const Text& aName, const Text& aValue) {
    if (aName.empty() || !std::all_of(aName.begin(), aName.end(), IsTokenChar)) {
        throw ZrError(u"HTTP header name '" + aName + u"' is not valid");
    }
    // A line break would let the value start a header (or a request) of its own.
    if (aValue.find_first_of(Text(u"\r\n\0", 3)) != Text::npos) {
        throw ZrError(u"HTTP header " + aName + u" has a line break or NUL in its value");
    }
    const auto same = [&](const tZR_HttpHeader& h) { return SameTextAscii(h.Name, aName); };
    const auto it = std::find_if(fHeaders.begin(), fHeaders.end(), same);
    if (aValue.empty()) {
        if (it != fHeaders.end()) {
            fHeaders.erase(it);
        }
    } else if (it != fHeaders.end()) {
        it->Value = aValue;
    } else {
        fHeaders.push_back({aName, aValue});
    }
}

void tZR_HttpClient::SetConnectTimeout(std::int32_t aValue) {
    fConnectTimeout = aValue > 0 ? aValue : kDefaultTimeout;
}

void tZR_HttpClient::SetReadTimeout(std::int32_t aValue) {
    fReadTimeout = aValue > 0 ? aValue : kDefaultTimeout;
}

void tZR_HttpClient::Post(const Text& aUrl, const std::string& aBody, const Text& aContentType,
                          const Text& aUser, const Text& aPassword, tZR_HttpAuth aAuth) {
    // A failure before any answer must not leave the previous post's code behind.
    fResponseCode = -1;
    // The content type becomes a header line too: a line break in it would start a header of its own.
    if (aContentType.find_first_of(Text(u"\r\n\0", 3)) != Text::npos) {
        throw ZrError(u"HTTP content type has a line break or NUL in it");
    }
    tZR_HttpRequest request;
    request.Url = aUrl;
    request.Body = &aBody;
    request.ContentType = aContentType;
    request.User = aUser;
    request.Password = aPassword;
    request.Auth = aAuth;
    request.Headers = fHeaders;
    request.ConnectTimeout = fConnectTimeout;
    request.ReadTimeout = fReadTimeout;

    tZR_HttpAnswer answer = fTransport->Post(request);
    fResponseCode = answer.Code;
    fConnected = answer.Code != -1 && answer.Failure.empty();
    if (!answer.Failure.empty()) {
        throw ZrError(answer.Failure);
    }
    if (answer.Code < 200 || answer.Code > 299) {
        throw ZrError(answer.StatusLine.empty() ? u"HTTP status " + IntToText(answer.Code)
                                                : answer.StatusLine);
    }
    fResponseText = Utf8ToText(answer.Body);
}

void tZR_HttpClient::Disconnect() {
    fTransport->Close();
    fConnected = false;
}
