#pragma once
// One HTTP exchange over WinHTTP, bounded in time and in the size of what is read back.
#include <cstddef>
#include <string>

namespace ta::report {

struct HttpRequest {
    std::wstring method = L"GET";
    std::wstring url;              // http:// or https://
    std::wstring headers;          // extra header lines, each ending in CR LF
    std::string body;              // sent as is
    unsigned long timeoutMs = 5000;  // for the whole exchange: resolve, connect, send, receive
    std::size_t maxBodyBytes = 16u << 20;
};

struct HttpResponse {
    unsigned long status = 0;
    std::string body;
};

// Sends the request and reads the whole answer. Throws AppError when the address cannot be used,
// the server cannot be reached, the time limit passes or the answer outgrows maxBodyBytes.
// Any status is returned; judging it is the caller's business.
HttpResponse HttpExchange(const HttpRequest& request);

}  // namespace ta::report
