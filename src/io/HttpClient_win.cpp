// The HTTP client's transport on Windows: WinHTTP, one session per channel (it pools the connection).
#include <windows.h>
#include <winhttp.h>

#include "io/DynamicLibrary.h"
#include "io/HttpClient.h"

namespace {
const wchar_t* Wide(const Text& aText) {
    return reinterpret_cast<const wchar_t*>(aText.c_str());
}

Text WinHttpErrorText(DWORD aCode) {
    const Text text = OsMessageText(static_cast<std::int32_t>(aCode), u"winhttp.dll");
    return text.empty() ? u"WinHTTP error " + IntToText(aCode) : text + u" (" + IntToText(aCode) + u")";
}

Text Base64(const std::string& aBytes) {
    static const char16_t kDigits[] = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    Text out;
    std::size_t i = 0;
    for (; i + 2 < aBytes.size(); i += 3) {
        const unsigned v = (static_cast<unsigned char>(aBytes[i]) << 16) |
                           (static_cast<unsigned char>(aBytes[i + 1]) << 8) |
                           static_cast<unsigned char>(aBytes[i + 2]);
        out += {kDigits[v >> 18], kDigits[(v >> 12) & 63], kDigits[(v >> 6) & 63], kDigits[v & 63]};
    }
    if (i + 1 == aBytes.size()) {
        const unsigned v = static_cast<unsigned char>(aBytes[i]) << 16;
        out += {kDigits[v >> 18], kDigits[(v >> 12) & 63], u'=', u'='};
    } else if (i + 2 == aBytes.size()) {
        const unsigned v =
            (static_cast<unsigned char>(aBytes[i]) << 16) | (static_cast<unsigned char>(aBytes[i + 1]) << 8);
        out += {kDigits[v >> 18], kDigits[(v >> 12) & 63], kDigits[(v >> 6) & 63], u'='};
    }
    return out;
}

struct Handle {
    HINTERNET Value = nullptr;
    Handle() = default;
    explicit Handle(HINTERNET aValue) : Value(aValue) {}
    ~Handle() {
        if (Value != nullptr) {
            WinHttpCloseHandle(Value);
        }
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
};

Text QueryText(HINTERNET aRequest, DWORD aInfo) {
    DWORD size = 0;
    WinHttpQueryHeaders(aRequest, aInfo, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER, &size,
                        WINHTTP_NO_HEADER_INDEX);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) {
        return Text();
    }
    std::wstring buffer(size / sizeof(wchar_t) + 1, L'\0');
    if (!WinHttpQueryHeaders(aRequest, aInfo, WINHTTP_HEADER_NAME_BY_INDEX, buffer.data(), &size,
                             WINHTTP_NO_HEADER_INDEX)) {
        return Text();
    }
    buffer.resize(size / sizeof(wchar_t));
    return Text(buffer.begin(), buffer.end());
}

std::int32_t QueryStatus(HINTERNET aRequest) {
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!WinHttpQueryHeaders(aRequest, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX)) {
        return -1;
    }
    return static_cast<std::int32_t>(status);
}

// Reads the body of the answer; false when it is too large or the connection fails.
bool ReadBody(HINTERNET aRequest, std::string& aBody, Text& aFailure) {
    aBody.clear();
    for (;;) {
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(aRequest, &available)) {
            aFailure = WinHttpErrorText(GetLastError());
            return false;
        }
        if (available == 0) {
            return true;
        }
        if (aBody.size() + available > tZR_HttpClient::kMaxResponseBytes) {
            aFailure =
                u"The answer is larger than " + UIntToText(tZR_HttpClient::kMaxResponseBytes) + u" bytes";
            return false;
        }
        const std::size_t start = aBody.size();
        aBody.resize(start + available);
        DWORD read = 0;
        if (!WinHttpReadData(aRequest, aBody.data() + start, available, &read)) {
            aFailure = WinHttpErrorText(GetLastError());
            return false;
        }
        aBody.resize(start + read);
        if (read == 0) {
            return true;
        }
    }
}

class WinHttpTransport final : public tZR_HttpTransport {
public:
    ~WinHttpTransport() override { Close(); }

    tZR_HttpAnswer Post(const tZR_HttpRequest& aRequest) override {
        tZR_HttpAnswer answer;
        if (fSession == nullptr) {
            // No proxy and no user agent, as on the other platforms.
            fSession = WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                   WINHTTP_NO_PROXY_BYPASS, 0);
            if (fSession == nullptr) {
                answer.Failure = WinHttpErrorText(GetLastError());
                return answer;
            }
        }
        WinHttpSetTimeouts(fSession, aRequest.ConnectTimeout, aRequest.ConnectTimeout, aRequest.ReadTimeout,
                           aRequest.ReadTimeout);

        URL_COMPONENTS parts{};
        parts.dwStructSize = sizeof parts;
        parts.dwHostNameLength = static_cast<DWORD>(-1);
        parts.dwUrlPathLength = static_cast<DWORD>(-1);
        parts.dwExtraInfoLength = static_cast<DWORD>(-1);
        parts.dwSchemeLength = static_cast<DWORD>(-1);
        const Text url = aRequest.Url;
        if (url.empty() || !WinHttpCrackUrl(Wide(url), static_cast<DWORD>(url.size()), 0, &parts) ||
            (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS)) {
            answer.Failure = u"URL '" + url + u"' is not a valid http or https URL";
            return answer;
        }
        const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
        std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
        path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
        if (path.empty()) {
            path = L"/";
        }

        Handle connection(WinHttpConnect(fSession, host.c_str(), parts.nPort, 0));
        if (connection.Value == nullptr) {
            answer.Failure = WinHttpErrorText(GetLastError());
            return answer;
        }
        Handle request(WinHttpOpenRequest(connection.Value, L"POST", path.c_str(), nullptr,
                                          WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                          parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0));
        if (request.Value == nullptr) {
            answer.Failure = WinHttpErrorText(GetLastError());
            return answer;
        }
        // The wait for the answer's headers has an option of its own besides the receive time-out.
        DWORD answerWait = static_cast<DWORD>(aRequest.ReadTimeout);
        WinHttpSetOption(request.Value, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &answerWait,
                         sizeof answerWait);
        DWORD policy = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
        WinHttpSetOption(request.Value, WINHTTP_OPTION_REDIRECT_POLICY, &policy, sizeof policy);

        Text headers;
        bool customContentType = false;
        for (const auto& h : aRequest.Headers) {
            customContentType = customContentType || SameTextAscii(h.Name, u"Content-Type");
            headers += h.Name + u": " + h.Value + u"\r\n";
        }
        if (!customContentType && !aRequest.ContentType.empty()) {
            headers += u"Content-Type: " + aRequest.ContentType + u"\r\n";
        }
        if (aRequest.Auth == tZR_HttpAuth::Basic) {
            // Sent with the first request; a challenge is not answered.
            headers += u"Authorization: Basic " +
                       Base64(TextToUtf8(aRequest.User) + ":" + TextToUtf8(aRequest.Password)) + u"\r\n";
        }

        // Added to the request once, so that the answer to a challenge does not send them twice.
        if (!headers.empty() && !WinHttpAddRequestHeaders(request.Value, Wide(headers),
                                                          static_cast<DWORD>(-1), WINHTTP_ADDREQ_FLAG_ADD)) {
            answer.Failure = WinHttpErrorText(GetLastError());
            return answer;
        }
        static const std::string kEmpty;
        const std::string& body = aRequest.Body != nullptr ? *aRequest.Body : kEmpty;
        // At most two rounds: the plain request and, with Digest, the answer to its challenge.
        for (int round = 0; round < 2; ++round) {
            if (!WinHttpSendRequest(request.Value, WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                                    const_cast<char*>(body.data()), static_cast<DWORD>(body.size()),
                                    static_cast<DWORD>(body.size()), 0) ||
                !WinHttpReceiveResponse(request.Value, nullptr)) {
                answer.Failure = WinHttpErrorText(GetLastError());
                answer.Code = -1;
                return answer;
            }
            answer.Code = QueryStatus(request.Value);
            answer.StatusLine =
                QueryText(request.Value, WINHTTP_QUERY_VERSION) + u" " + IntToText(answer.Code);
            const Text reason = QueryText(request.Value, WINHTTP_QUERY_STATUS_TEXT);
            if (!reason.empty()) {
                answer.StatusLine += u" " + reason;
            }
            Text failure;
            const bool bodyRead = ReadBody(request.Value, answer.Body, failure);
            if (answer.Code == 401 && round == 0 && aRequest.Auth == tZR_HttpAuth::Digest && bodyRead) {
                DWORD supported = 0;
                DWORD first = 0;
                DWORD target = 0;
                if (WinHttpQueryAuthSchemes(request.Value, &supported, &first, &target) &&
                    (supported & WINHTTP_AUTH_SCHEME_DIGEST) != 0 &&
                    WinHttpSetCredentials(request.Value, target, WINHTTP_AUTH_SCHEME_DIGEST,
                                          Wide(aRequest.User), Wide(aRequest.Password), nullptr)) {
                    continue;
                }
            }
            if (!bodyRead) {
                answer.Failure = failure;
            }
            break;
        }
        return answer;
    }

    void Close() override {
        if (fSession != nullptr) {
            WinHttpCloseHandle(fSession);
            fSession = nullptr;
        }
    }

private:
    HINTERNET fSession = nullptr;
};
} // namespace

std::unique_ptr<tZR_HttpTransport> tZR_HttpTransport::Create() {
    return std::make_unique<WinHttpTransport>();
}
