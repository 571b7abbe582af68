#pragma once
// One HTTP exchange over WinHTTP, bounded in time and in the size of what is read back.
#include <cstddef>
#include <string>

namespace ta::report {

// A time limit that runs from when it is made. Several exchanges can share one: each gets only
// what is left of it.
class Deadline {
public:
    explicit Deadline(unsigned long limitMs);
    // The milliseconds left (at least 1); throws the no-answer AppError once none are.
    int remaining() const;
    // The no-answer AppError, in the words of the whole limit: "no service answered in 5 s".
    [[noreturn]] void RaisePassed() const;
    bool endsBefore(const Deadline& other) const noexcept { return end_ < other.end_; }

private:
    unsigned long limitMs_;
    unsigned long long end_;  // tick count
};

struct HttpRequest {
    std::wstring method = L"GET";
    std::wstring url;              // http:// or https://
    std::wstring headers;          // extra header lines, each ending in CR LF
    std::string body;              // sent as is
    std::size_t maxBodyBytes = 16u << 20;
};

struct HttpResponse {
    unsigned long status = 0;
    std::string body;
};

// Whether both addresses have the same scheme, host (in any letter case) and port; false when
// either is no HTTP address.
bool SameOrigin(const std::wstring& a, const std::wstring& b);

// Sends the request and reads the whole answer, all of it (resolve, connect, send, receive) by
// the deadline. Throws AppError when the address cannot be used, the server cannot be reached,
// the deadline passes or the answer outgrows maxBodyBytes. Any status is returned; judging it
// is the caller's business.
HttpResponse HttpExchange(const HttpRequest& request, const Deadline& deadline);

}  // namespace ta::report
