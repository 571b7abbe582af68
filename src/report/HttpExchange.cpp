#include "report/HttpExchange.h"

#include <windows.h>
#include <winhttp.h>

#include <cwchar>

#include "platform/Handles.h"
#include "platform/SystemLibrary.h"
#include "platform/Text.h"
#include "report/SoapError.h"

namespace ta::report {
namespace {

// WinHTTP, from the system folder. An exchange starts only with all of it at hand, so every
// handle below was opened through it.
struct WinHttpService {
    decltype(&::WinHttpCloseHandle) CloseHandle = TA_SYSTEM_FUNCTION(WinHttp, WinHttpCloseHandle);
    decltype(&::WinHttpConnect) Connect = TA_SYSTEM_FUNCTION(WinHttp, WinHttpConnect);
    decltype(&::WinHttpCrackUrl) CrackUrl = TA_SYSTEM_FUNCTION(WinHttp, WinHttpCrackUrl);
    decltype(&::WinHttpOpen) Open = TA_SYSTEM_FUNCTION(WinHttp, WinHttpOpen);
    decltype(&::WinHttpOpenRequest) OpenRequest = TA_SYSTEM_FUNCTION(WinHttp, WinHttpOpenRequest);
    decltype(&::WinHttpQueryDataAvailable) QueryDataAvailable = TA_SYSTEM_FUNCTION(WinHttp, WinHttpQueryDataAvailable);
    decltype(&::WinHttpQueryHeaders) QueryHeaders = TA_SYSTEM_FUNCTION(WinHttp, WinHttpQueryHeaders);
    decltype(&::WinHttpReadData) ReadData = TA_SYSTEM_FUNCTION(WinHttp, WinHttpReadData);
    decltype(&::WinHttpReceiveResponse) ReceiveResponse = TA_SYSTEM_FUNCTION(WinHttp, WinHttpReceiveResponse);
    decltype(&::WinHttpSendRequest) SendRequest = TA_SYSTEM_FUNCTION(WinHttp, WinHttpSendRequest);
    decltype(&::WinHttpSetOption) SetOption = TA_SYSTEM_FUNCTION(WinHttp, WinHttpSetOption);
    decltype(&::WinHttpSetTimeouts) SetTimeouts = TA_SYSTEM_FUNCTION(WinHttp, WinHttpSetTimeouts);
    bool complete() const {
        return CloseHandle && Connect && CrackUrl && Open && OpenRequest && QueryDataAvailable && QueryHeaders &&
               ReadData && ReceiveResponse && SendRequest && SetOption && SetTimeouts;
    }
};

const WinHttpService& Http() {
    static const WinHttpService service;
    return service;
}

struct InternetTraits {
    using handle_type = HINTERNET;
    static HINTERNET invalid() noexcept { return nullptr; }
    static bool valid(HINTERNET h) noexcept { return h != nullptr; }
    static void close(HINTERNET h) noexcept { Http().CloseHandle(h); }
};
using InternetHandle = UniqueHandle<InternetTraits>;

// Gives the request handle only what is left, for every blocking step that follows. Set on the
// request handle itself: limits set on the session alone are not honoured everywhere.
void ApplyRemaining(const Deadline& deadline, HINTERNET request) {
    const int ms = deadline.remaining();
    Http().SetTimeouts(request, ms, ms, ms, ms);
    DWORD value = static_cast<DWORD>(ms);
    Http().SetOption(request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &value, sizeof value);
}

// What the common transport errors mean; the system has no message text for them.
const wchar_t* TransportErrorText(DWORD error) {
    switch (error) {
    case ERROR_WINHTTP_NAME_NOT_RESOLVED: return L"the server name is not known";
    case ERROR_WINHTTP_CANNOT_CONNECT: return L"no connection could be made";
    case ERROR_WINHTTP_CONNECTION_ERROR: return L"the connection was broken off";
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE: return L"the answer was not HTTP";
    case ERROR_WINHTTP_SECURE_FAILURE: return L"the secure connection failed";
    default: return nullptr;
    }
}

[[noreturn]] void RaiseTransportError(const wchar_t* step, const Deadline& deadline) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_WINHTTP_TIMEOUT) deadline.RaisePassed();
    std::wstring text =
        std::wstring(L"no service answered: HTTP ") + step + L" failed with error " + std::to_wstring(error);
    if (const wchar_t* meaning = TransportErrorText(error)) text += std::wstring(L" (") + meaning + L")";
    RaiseSoapError(text);
}

struct UrlParts {
    std::wstring host;
    std::wstring pathAndQuery;
    INTERNET_PORT port = 0;
    bool secure = false;
};

UrlParts CrackUrl(const std::wstring& url) {
    URL_COMPONENTS c{};
    c.dwStructSize = sizeof c;
    c.dwSchemeLength = c.dwHostNameLength = c.dwUrlPathLength = c.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (url.empty() || !Http().CrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &c) ||
        (c.nScheme != INTERNET_SCHEME_HTTP && c.nScheme != INTERNET_SCHEME_HTTPS) || c.dwHostNameLength == 0) {
        RaiseSoapError(L"Not an HTTP address: " + url);
    }
    UrlParts parts;
    parts.host.assign(c.lpszHostName, c.dwHostNameLength);
    parts.pathAndQuery.assign(c.lpszUrlPath, c.dwUrlPathLength);
    parts.pathAndQuery.append(c.lpszExtraInfo, c.dwExtraInfoLength);
    if (parts.pathAndQuery.empty()) parts.pathAndQuery = L"/";
    parts.port = c.nPort;
    parts.secure = c.nScheme == INTERNET_SCHEME_HTTPS;
    return parts;
}

// Where a redirect points, as the server wrote it (never followed).
std::wstring Location(HINTERNET request) {
    wchar_t location[512] = L"";
    DWORD size = sizeof location;
    if (!Http().QueryHeaders(request, WINHTTP_QUERY_LOCATION, WINHTTP_HEADER_NAME_BY_INDEX, location, &size,
                             WINHTTP_NO_HEADER_INDEX))
        return L"(no address given)";
    return location;
}

}  // namespace

bool SameOrigin(const std::wstring& a, const std::wstring& b) {
    if (!Http().complete()) return false;
    try {
        const UrlParts first = CrackUrl(a), second = CrackUrl(b);
        return first.secure == second.secure && first.port == second.port && ToLower(first.host) == ToLower(second.host);
    } catch (const AppError&) {
        return false;
    }
}

Deadline::Deadline(unsigned long limitMs) : limitMs_(limitMs), end_(::GetTickCount64() + limitMs) {}

int Deadline::remaining() const {
    const ULONGLONG now = ::GetTickCount64();
    if (now >= end_) RaisePassed();  // never 0: WinHTTP takes a limit of 0 as none at all
    return static_cast<int>(end_ - now);
}

void Deadline::RaisePassed() const {
    wchar_t seconds[16];
    std::swprintf(seconds, 16, L"%g", limitMs_ / 1000.0);
    RaiseSoapError(std::wstring(L"no service answered in ") + seconds + L" s");
}

HttpResponse HttpExchange(const HttpRequest& request, const Deadline& deadline) {
    if (!Http().complete()) RaiseSoapError(L"WinHTTP could not be loaded from the system folder.");
    const UrlParts url = CrackUrl(request.url);

    InternetHandle session(Http().Open(L"TaUnInst", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                       WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session) RaiseTransportError(L"session", deadline);
    const int ms = deadline.remaining();
    Http().SetTimeouts(session.get(), ms, ms, ms, ms);

    InternetHandle connection(Http().Connect(session.get(), url.host.c_str(), url.port, 0));
    if (!connection) RaiseTransportError(L"connect", deadline);
    InternetHandle handle(Http().OpenRequest(connection.get(), request.method.c_str(), url.pathAndQuery.c_str(),
                                             nullptr, WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                             url.secure ? WINHTTP_FLAG_SECURE : 0));
    if (!handle) RaiseTransportError(L"request", deadline);
    // A redirect is answered, never followed: the report goes only to the address it was given.
    DWORD never = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
    Http().SetOption(handle.get(), WINHTTP_OPTION_REDIRECT_POLICY, &never, sizeof never);
    DWORD noRedirects = WINHTTP_DISABLE_REDIRECTS;
    Http().SetOption(handle.get(), WINHTTP_OPTION_DISABLE_FEATURE, &noRedirects, sizeof noRedirects);

    ApplyRemaining(deadline, handle.get());
    const DWORD bodySize = static_cast<DWORD>(request.body.size());
    if (!Http().SendRequest(handle.get(), request.headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : request.headers.c_str(),
                            request.headers.empty() ? 0 : static_cast<DWORD>(-1),
                            bodySize ? const_cast<char*>(request.body.data()) : WINHTTP_NO_REQUEST_DATA, bodySize,
                            bodySize, 0)) {
        RaiseTransportError(L"send", deadline);
    }
    ApplyRemaining(deadline, handle.get());
    if (!Http().ReceiveResponse(handle.get(), nullptr)) RaiseTransportError(L"receive", deadline);

    HttpResponse response;
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!Http().QueryHeaders(handle.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX)) {
        RaiseTransportError(L"status", deadline);
    }
    response.status = status;
    if (status >= 300 && status < 400) RaiseSoapError(L"redirect to " + Location(handle.get()), SoapFailure::Refused);

    for (;;) {
        ApplyRemaining(deadline, handle.get());
        DWORD available = 0;
        if (!Http().QueryDataAvailable(handle.get(), &available)) RaiseTransportError(L"read", deadline);
        if (available == 0) break;
        if (available > request.maxBodyBytes - response.body.size()) {
            RaiseSoapError(L"The server's answer is larger than " + std::to_wstring(request.maxBodyBytes) + L" bytes.");
        }
        const std::size_t offset = response.body.size();
        response.body.resize(offset + available);
        DWORD read = 0;
        if (!Http().ReadData(handle.get(), response.body.data() + offset, available, &read)) {
            RaiseTransportError(L"read", deadline);
        }
        response.body.resize(offset + read);
        if (read == 0) break;
    }
    return response;
}

}  // namespace ta::report
