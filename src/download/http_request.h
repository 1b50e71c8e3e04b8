#pragma once

#include "download/http_address.h"

#include <optional>
#include <string>
#include <vector>

namespace zorvan {

// The agent every engine request announces.
inline constexpr const char* engineUserAgent = "Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)";

// Limits that keep requests and their parts bounded.
inline constexpr std::size_t maxTargetBytes = 1023;
inline constexpr std::size_t maxRefererBytes = 1024;
inline constexpr std::size_t maxRequestBytes = 1023;
inline constexpr std::size_t maxSetCookieBytes = 4086;

// What a task's requests are built from. Written by the first connection
// (set-up and redirections) before any other connection exists.
struct RequestFields {
    ParsedAddress address;       // the current address
    std::string url;             // the current address as text
    std::string proxy;           // "host[:port]"; empty: direct
    std::string target;          // the path, or with a proxy the whole address
    std::string referer;         // empty: no Referer line
    std::string cookieLine;      // "Cookie: k=v\r\n" after a redirection, else empty
    // The caller's own lines ("Name: value", no line break): each replaces
    // the engine's line of that name, a Cookie line takes in a redirection's.
    std::vector<std::string> headers;
    // The connection may serve further requests (a batch's works): its
    // request asks to keep it open instead of "Connection: close".
    bool keepAlive = false;

    bool forwardedByProxy() const;
};

// Whether a request goes to the proxy as it stands (an http address through
// a proxy); an https address reaches its server through a tunnel instead,
// and only the server reads the request.
inline bool forwardedByProxy(const std::string& proxy, Scheme scheme) {
    return !proxy.empty() && scheme != Scheme::Https;
}
inline bool RequestFields::forwardedByProxy() const { return zorvan::forwardedByProxy(proxy, address.scheme); }

// The fields for a task's address, its proxy and the caller's referer
// (empty: the address up to its last "/"). Nothing when the target is too
// long to be requested.
std::optional<RequestFields> makeRequestFields(const ParsedAddress& address, const std::string& url,
                                               const std::string& proxy, const std::string& referer);

// The request text. `extraLine` is a whole header line with its "\r\n"
// (a Range line) or empty; the cookie line is sent only when asked for.
// Nothing when even without its Referer line the request would exceed
// maxRequestBytes (the caller's own lines not counted).
std::optional<std::string> buildRequest(const RequestFields& fields, const std::string& extraLine, bool withCookie);

// Follows a redirection to `location`, taking one cookie from the
// response's Set-Cookie text. Absolute "http://" and "https://" (or
// "//host", in the current scheme) locations replace scheme, host, port
// (the scheme's default when none is named) and path;
// any other is resolved against the current path with its "." and ".."
// segments removed (RFC 3986 5.2). Other schemes, a control character
// anywhere in the location, a too long cookie or target fail.
bool followRedirect(RequestFields& fields, const std::string& location, const std::string& setCookie);

}  // namespace zorvan
