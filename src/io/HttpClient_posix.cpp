// The HTTP client's transport on POSIX: one libcurl easy handle per channel, kept between posts so the
// connection can be reused. libcurl is loaded with the first post (tZR_CurlApi).
#include <limits>
#include <mutex>

#include "base/ZrError.h"
#include "io/CurlApi.h"
#include "io/HttpClient.h"

namespace {
// curl_global_init is not thread-safe and must run once per process, before any handle exists.
CURLcode GlobalInit(const tZR_CurlApi& aCurl) {
    static std::once_flag once;
    static CURLcode result = CURLE_OK;
    std::call_once(once, [&aCurl] { result = aCurl.GlobalInit(CURL_GLOBAL_DEFAULT); });
    return result;
}

struct Exchange {
    tZR_HttpAnswer* Answer = nullptr;
    bool TooLarge = false;
};

std::size_t OnBody(char* aData, std::size_t aSize, std::size_t aCount, void* aUser) {
    auto* exchange = static_cast<Exchange*>(aUser);
    const std::size_t bytes = aSize * aCount;
    if (exchange->Answer->Body.size() + bytes > tZR_HttpClient::kMaxResponseBytes) {
        exchange->TooLarge = true;
        return 0; // aborts the transfer
    }
    exchange->Answer->Body.append(aData, bytes);
    return bytes;
}

std::size_t OnHeader(char* aData, std::size_t aSize, std::size_t aCount, void* aUser) {
    auto* exchange = static_cast<Exchange*>(aUser);
    const std::size_t bytes = aSize * aCount;
    std::string line(aData, bytes);
    if (line.rfind("HTTP/", 0) == 0) {
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n' || line.back() == ' ')) {
            line.pop_back();
        }
        // A new answer begins (after a challenge, or after 100 Continue): only the last one counts.
        exchange->Answer->StatusLine = Utf8ToText(line);
        exchange->Answer->Body.clear();
    }
    return bytes;
}

struct HeaderList {
    explicit HeaderList(const tZR_CurlApi& aCurl) : Curl(aCurl) {}
    ~HeaderList() { Curl.SlistFreeAll(List); }
    HeaderList(const HeaderList&) = delete;
    HeaderList& operator=(const HeaderList&) = delete;
    bool Add(const std::string& aLine) {
        curl_slist* next = Curl.SlistAppend(List, aLine.c_str());
        if (next == nullptr) {
            return false;
        }
        List = next;
        return true;
    }
    const tZR_CurlApi& Curl;
    curl_slist* List = nullptr;
};

long Milliseconds(std::int64_t aValue) {
    return static_cast<long>(std::min<std::int64_t>(aValue, std::numeric_limits<long>::max()));
}

class CurlTransport final : public tZR_HttpTransport {
public:
    ~CurlTransport() override { Close(); }

    tZR_HttpAnswer Post(const tZR_HttpRequest& aRequest) override {
        tZR_HttpAnswer answer;
        const tZR_CurlApi* api = nullptr;
        try {
            api = &tZR_CurlApi::Get();
        } catch (const ZrError& e) {
            answer.Failure = e.Message(); // names the library that is missing
            return answer;
        }
        const tZR_CurlApi& curl = *api;
        if (const CURLcode init = GlobalInit(curl); init != CURLE_OK) {
            answer.Failure = Utf8ToText(curl.EasyStrError(init));
            return answer;
        }
        if (fCurl == nullptr) {
            fCurl = curl.EasyInit();
            if (fCurl == nullptr) {
                answer.Failure = u"libcurl could not create a transfer handle";
                return answer;
            }
        } else {
            curl.EasyReset(fCurl); // keeps the open connection, drops the options
        }

        HeaderList headers(curl);
        bool headersOk = true;
        bool customContentType = false;
        for (const auto& h : aRequest.Headers) {
            customContentType = customContentType || SameTextAscii(h.Name, u"Content-Type");
            headersOk = headersOk && headers.Add(TextToUtf8(h.Name) + ": " + TextToUtf8(h.Value));
        }
        if (!customContentType) {
            // "Content-Type:" with nothing after it keeps libcurl from sending its form default.
            headersOk =
                headersOk && headers.Add("Content-Type:" + (aRequest.ContentType.empty()
                                                                ? std::string()
                                                                : " " + TextToUtf8(aRequest.ContentType)));
        }
        headersOk = headersOk && headers.Add("Expect:"); // no 100-continue round trip
        if (!headersOk) {
            answer.Failure = u"Out of memory for the request headers";
            return answer;
        }

        char errorText[CURL_ERROR_SIZE] = {};
        Exchange exchange{&answer};
        const std::string url = TextToUtf8(aRequest.Url);
        const std::string user = TextToUtf8(aRequest.User);
        const std::string password = TextToUtf8(aRequest.Password);
        static const std::string kEmpty;
        const std::string& body = aRequest.Body != nullptr ? *aRequest.Body : kEmpty;

        curl.EasySetOpt(fCurl, CURLOPT_NOSIGNAL, 1L); // never touch the host's signal handlers
        curl.EasySetOpt(fCurl, CURLOPT_ERRORBUFFER, errorText);
        curl.EasySetOpt(fCurl, CURLOPT_URL, url.c_str());
        curl.EasySetOpt(fCurl, CURLOPT_PROTOCOLS_STR, "http,https");
        curl.EasySetOpt(fCurl, CURLOPT_PROXY, ""); // no proxy, whatever the environment says
        curl.EasySetOpt(fCurl, CURLOPT_FOLLOWLOCATION, 0L);
        curl.EasySetOpt(fCurl, CURLOPT_POST, 1L);
        curl.EasySetOpt(fCurl, CURLOPT_POSTFIELDS, body.data());
        curl.EasySetOpt(fCurl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
        curl.EasySetOpt(fCurl, CURLOPT_HTTPHEADER, headers.List);
        curl.EasySetOpt(fCurl, CURLOPT_CONNECTTIMEOUT_MS, Milliseconds(aRequest.ConnectTimeout));
        // The whole exchange is bounded: a server that accepts and never answers cannot hold the till.
        curl.EasySetOpt(fCurl, CURLOPT_TIMEOUT_MS,
                        Milliseconds(std::int64_t{aRequest.ConnectTimeout} + aRequest.ReadTimeout));
        curl.EasySetOpt(fCurl, CURLOPT_WRITEFUNCTION, OnBody);
        curl.EasySetOpt(fCurl, CURLOPT_WRITEDATA, &exchange);
        curl.EasySetOpt(fCurl, CURLOPT_HEADERFUNCTION, OnHeader);
        curl.EasySetOpt(fCurl, CURLOPT_HEADERDATA, &exchange);
        if (aRequest.Auth != tZR_HttpAuth::None) {
            curl.EasySetOpt(fCurl, CURLOPT_HTTPAUTH,
                            aRequest.Auth == tZR_HttpAuth::Basic ? CURLAUTH_BASIC : CURLAUTH_DIGEST);
            curl.EasySetOpt(fCurl, CURLOPT_USERNAME, user.c_str());
            curl.EasySetOpt(fCurl, CURLOPT_PASSWORD, password.c_str());
        }

        const CURLcode result = curl.EasyPerform(fCurl);
        long status = 0;
        curl.EasyGetInfo(fCurl, CURLINFO_RESPONSE_CODE, &status);
        answer.Code = status > 0 ? static_cast<std::int32_t>(status) : -1;
        if (exchange.TooLarge) {
            answer.Failure =
                u"The answer is larger than " + UIntToText(tZR_HttpClient::kMaxResponseBytes) + u" bytes";
        } else if (result != CURLE_OK) {
            answer.Failure = Utf8ToText(errorText[0] != '\0' ? errorText : curl.EasyStrError(result));
        }
        // The handle keeps pointers to this call's buffers; clear them before they go away.
        curl.EasySetOpt(fCurl, CURLOPT_ERRORBUFFER, nullptr);
        curl.EasySetOpt(fCurl, CURLOPT_HTTPHEADER, nullptr);
        return answer;
    }

    void Close() override {
        if (fCurl != nullptr) { // a handle exists only once libcurl was loaded
            tZR_CurlApi::Get().EasyCleanup(fCurl);
            fCurl = nullptr;
        }
    }

private:
    CURL* fCurl = nullptr;
};
} // namespace

std::unique_ptr<tZR_HttpTransport> tZR_HttpTransport::Create() {
    return std::make_unique<CurlTransport>();
}
