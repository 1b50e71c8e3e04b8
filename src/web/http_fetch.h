#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

namespace zorvan {

// Response bodies and request bodies are byte data.
using Bytes = std::string;

// The agent sent when the caller's headers name none.
inline constexpr const char* defaultUserAgent =
    "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1; 7Qok; .NET CLR 2.0.50727; "
    ".NET CLR 3.0.04506.648; .NET CLR 3.5.21022)";

// One HTTP or HTTPS request, self-contained and callable from any thread.
// Optional value arguments are std::optional (absent = not given); optional
// in/out arguments are pointers to the caller's variables (null = not
// given). Failures give an empty body; status codes are not examined.
//
//  address          "http://" or "https://" + host[:port][/path][?query];
//                   without a scheme "http://" is assumed
//  method           0 GET; 1 POST; any other value sends a body with GET
//  postText         the body when postBytes is empty
//  cookies          in: sent as "Cookie:" when not empty; out: merged with
//                   what the response set
//  newCookies       out: the cookies this response set ("a=1;b=2")
//  headers          in: extra "\r\n"-separated lines; out: the lines sent,
//                   with the default Referer, Accept, Accept-Language,
//                   Content-Type and Cookie lines added
//  location         out: the "Location:" value, else the raw header text
//  noRedirect       set: redirects are not followed
//  postBytes        in/out: the body; when empty, postText's bytes
//  proxy            given and not empty: an HTTP proxy "host:port" for
//                   http addresses; given empty or absent: direct access
//  responseHeaders  out: the final response's raw header block
Bytes httpFetch(const std::string& address, std::optional<int> method = {},
                std::optional<std::string> postText = {}, std::string* cookies = nullptr,
                std::string* newCookies = nullptr, std::string* headers = nullptr,
                std::string* location = nullptr, std::optional<bool> noRedirect = {},
                Bytes* postBytes = nullptr, std::optional<std::string> proxy = {},
                std::string* responseHeaders = nullptr);

// httpFetch with every optional argument given (absent ones as empty or
// zero values); the body as text, up to its first zero byte.
std::string httpFetchText(const std::string& address, std::optional<int> method = {},
                          std::optional<std::string> postText = {}, std::string* cookies = nullptr,
                          std::string* newCookies = nullptr, std::string* headers = nullptr,
                          std::string* location = nullptr, std::optional<bool> noRedirect = {},
                          Bytes* postBytes = nullptr, std::optional<std::string> proxy = {},
                          std::string* responseHeaders = nullptr);

// How long a request may wait (for its connection, and without receiving
// a byte) and how large a body it takes: nothing the user starts may hang
// for ever or fill the memory. A body past the bound fails the request.
// Tests shorten these.
struct HttpFetchLimits {
    long connectTimeoutMs = 30000;
    long stallTimeoutS = 60;
    std::size_t maxBodyBytes = 32 * 1024 * 1024;
};
void setHttpFetchLimits(HttpFetchLimits limits);
HttpFetchLimits httpFetchLimits();

// How every request without a proxy of its own reaches the network (the
// command line sets these once): an HTTP proxy "host:port" for http and
// https alike (empty: direct, whatever the environment says), a further CA
// file to trust and whether certificates are checked at all.
struct HttpFetchNetwork {
    std::string proxy;
    std::string caFile;
    bool insecure = false;
    // Header lines ("Name: value") every request sends, each in place of
    // the request's own line of that name.
    std::vector<std::string> headers;
};
void setHttpFetchNetwork(HttpFetchNetwork network);

// How this thread's last request went, for a caller that must say why
// nothing came back.
struct HttpFetchReport {
    int transferCode = 0;  // libcurl's result; 0: the transfer went through
    int systemError = 0;   // errno behind a failed connection
    long status = 0;       // the final answer's status; 0: none
    std::string error;     // libcurl's words for a failure
};
HttpFetchReport lastHttpFetchReport();

// One GET of `address` over one connection whose body goes to `sink` as
// it comes, through the network settings above, following redirections;
// an answer of 400 or above sends nothing to the sink. The transfer ends
// early when `sink` returns false or `stop` true. At most `speedLimit`
// bytes a second when it is above 0.
HttpFetchReport httpStream(const std::string& address, const std::function<bool(const char*, std::size_t)>& sink,
                           std::int64_t speedLimit, const std::function<bool()>& stop);

// While one lives on a thread, the fetches that thread makes (httpFetch,
// httpFetchText) end early, as failed transfers, once `stop` is requested:
// a worker's owner can stop it and join it without waiting out a slow or
// silent server.
class FetchStopScope {
public:
    explicit FetchStopScope(std::stop_token stop);
    ~FetchStopScope();
    FetchStopScope(const FetchStopScope&) = delete;
    FetchStopScope& operator=(const FetchStopScope&) = delete;

private:
    std::stop_token outer_;
};

// Raw response headers beyond this many bytes are dropped.
inline constexpr std::size_t maxResponseHeaderBytes = 64 * 1024;

}  // namespace zorvan
