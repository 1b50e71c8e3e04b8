#include "download/http_request.h"

#include <algorithm>

namespace zorvan {

namespace {

bool hasScheme(const std::string& location) {
    const auto colon = location.find("://");
    if (colon == std::string::npos || colon == 0) return false;
    for (std::size_t i = 0; i < colon; ++i) {
        const char c = location[i];
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' ||
              c == '-' || c == '.'))
            return false;
    }
    return true;
}

std::string refererFor(const std::string& url) {
    std::string referer = upToLastSlash(url);
    return referer.size() > maxRefererBytes ? std::string() : referer;
}

// Sets the address and what follows from it; false when the target is too long.
bool moveTo(RequestFields& fields, const ParsedAddress& address, const std::string& url) {
    const std::string target = requestTarget(forwardedByProxy(fields.proxy, address.scheme) ? url : address.path);
    if (target.size() > maxTargetBytes) return false;
    fields.address = address;
    fields.url = url;
    fields.target = target;
    fields.referer = refererFor(url);
    return true;
}

// "/a/./b/../c" -> "/a/c" (RFC 3986 5.2.4).
std::string removeDotSegments(std::string_view path) {
    std::string output;
    while (!path.empty()) {
        if (path.rfind("../", 0) == 0) {
            path.remove_prefix(3);
        } else if (path.rfind("./", 0) == 0) {
            path.remove_prefix(2);
        } else if (path.rfind("/./", 0) == 0) {
            path.remove_prefix(2);
        } else if (path == "/.") {
            path = "/";
        } else if (path.rfind("/../", 0) == 0 || path == "/..") {
            path = path.size() == 3 ? std::string_view("/") : path.substr(3);
            const auto slash = output.rfind('/');
            output.resize(slash == std::string::npos ? 0 : slash);
        } else if (path == "." || path == "..") {
            path = {};
        } else {
            const auto next = path.find('/', 1);
            const std::string_view segment = path.substr(0, next);
            output += segment;
            path.remove_prefix(segment.size());
        }
    }
    return output;
}

// A relative location resolved against the current path (RFC 3986 5.2.2):
// its own path with dot segments removed, its query kept.
std::string resolvedPath(const std::string& current, const std::string& location) {
    const std::size_t pathEnd = location.find_first_of("?#");
    const std::string relative = location.substr(0, pathEnd);
    const std::string rest = pathEnd == std::string::npos ? std::string() : location.substr(pathEnd);
    const std::string base = current.substr(0, current.find('?'));
    if (relative.empty()) return base + rest;
    if (relative.front() == '/') return removeDotSegments(relative) + rest;
    const auto slash = base.rfind('/');
    return removeDotSegments((slash == std::string::npos ? std::string("/") : base.substr(0, slash + 1)) + relative) +
           rest;
}

bool hasControlCharacter(const std::string& text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

}  // namespace

std::optional<RequestFields> makeRequestFields(const ParsedAddress& address, const std::string& url,
                                               const std::string& proxy, const std::string& referer) {
    RequestFields fields;
    fields.proxy = proxy;
    if (!moveTo(fields, address, url)) return std::nullopt;
    if (!referer.empty()) fields.referer = referer.size() > maxRefererBytes ? std::string() : referer;
    return fields;
}

std::optional<std::string> buildRequest(const RequestFields& fields, const std::string& extraLine, bool withCookie) {
    const std::string line1 = "GET " + fields.target + " HTTP/1.1\r\n";
    const std::string host = "Host: " + fields.address.host + "\r\n";
    const std::string agent = std::string("User-Agent: ") + engineUserAgent + "\r\n";
    const std::string extra = extraLine + (withCookie ? fields.cookieLine : std::string());
    auto compose = [&](bool withReferer) {
        if (fields.forwardedByProxy())
            // A proxy is told only what it needs, and the range (without it a
            // proxy would send every connection the whole file).
            return line1 + host + agent + extra + "Proxy-Connection: Keep-Alive\r\n\r\n";
        std::string request = line1 + host + "Accept: */*\r\n";
        if (withReferer && !fields.referer.empty()) request += "Referer: " + fields.referer + "\r\n";
        return request + agent + extra + "Pragma: no-cache\r\nCache-Control: no-cache\r\nConnection: " +
               (fields.keepAlive ? "keep-alive" : "close") + "\r\n\r\n";
    };
    std::string request = compose(true);
    if (request.size() > maxRequestBytes) request = compose(false);  // the referer is the part to spare
    if (request.size() > maxRequestBytes) return std::nullopt;
    return request;
}

bool followRedirect(RequestFields& fields, const std::string& location, const std::string& setCookie) {
    if (!setCookie.empty()) {
        if (setCookie.size() > maxSetCookieBytes) return false;
        // A cookie with a control character (a bare CR, say) could start a
        // header line of the server's choosing: it is not sent.
        const std::string pair = setCookie.substr(0, setCookie.find(';'));
        if (!hasControlCharacter(pair)) fields.cookieLine = "Cookie: " + pair + "\r\n";
    }
    // Nothing a server writes may reach the request line but the target.
    if (location.empty() || hasControlCharacter(location)) return false;
    const char* currentScheme = webSchemePrefix(fields.address.scheme);
    if (location.rfind("//", 0) == 0)
        return followRedirect(fields, (fields.address.scheme == Scheme::Https ? "https:" : "http:") + location, "");
    if (hasScheme(location)) {
        const auto address = parseAddress(location);
        if (!address) {
            // "http://host" without a path still names the host's root.
            const auto rooted = parseAddress(location + "/");
            if (!rooted || !isWebScheme(rooted->scheme)) return false;
            return moveTo(fields, *rooted, location + "/");
        }
        if (!isWebScheme(address->scheme)) return false;
        return moveTo(fields, *address, location);
    }
    ParsedAddress next = fields.address;
    next.path = resolvedPath(next.path, location);
    return moveTo(fields, next, currentScheme + next.host + next.path);
}

}  // namespace zorvan
