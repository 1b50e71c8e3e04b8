#include "download/http_request.h"

#include <algorithm>
#include <cctype>

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

// Whether a header line is named `name` (any case).
bool lineNamed(const std::string& line, std::string_view name) {
    return line.size() > name.size() && line[name.size()] == ':' &&
           std::equal(name.begin(), name.end(), line.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
           });
}

// Sets the address and what follows from it; false when the target is too long.
bool moveTo(RequestFields& fields, const ParsedAddress& address, const std::string& url) {
    const std::string target = requestTarget(forwardedByProxy(fields.proxy, address.scheme) ? url : address.path);
    if (target.size() > maxTargetBytes) return false;
    // The user's credentials are for the server they named, not for one a
    // redirection sends the download to.
    if (!fields.address.host.empty() &&
        (hostName(fields.address.host) != hostName(address.host) || fields.address.port != address.port))
        std::erase_if(fields.headers, [](const std::string& line) { return lineNamed(line, "Authorization"); });
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

namespace {

bool callerNames(const RequestFields& fields, std::string_view name) {
    return std::any_of(fields.headers.begin(), fields.headers.end(),
                       [name](const std::string& line) { return lineNamed(line, name); });
}

// The caller's lines, a redirection's cookie joined to the caller's own.
std::string callerLines(const RequestFields& fields, bool withCookie, bool& cookieTaken) {
    std::string lines;
    for (const std::string& line : fields.headers) {
        lines += line;
        if (withCookie && !cookieTaken && fields.cookieLine.size() > 10 && lineNamed(line, "Cookie")) {
            // "Cookie: k=v\r\n" adds "; k=v": one Cookie line in all.
            lines += "; " + fields.cookieLine.substr(8, fields.cookieLine.size() - 10);
            cookieTaken = true;
        }
        lines += "\r\n";
    }
    return lines;
}

}  // namespace

std::optional<std::string> buildRequest(const RequestFields& fields, const std::string& extraLine, bool withCookie) {
    // The caller's lines replace the engine's lines of the same name.
    const auto own = [&fields](std::string_view name, const std::string& line) {
        return callerNames(fields, name) ? std::string() : line;
    };
    bool cookieTaken = false;
    const std::string caller = callerLines(fields, withCookie, cookieTaken);
    const std::string line1 = "GET " + fields.target + " HTTP/1.1\r\n";
    const std::string host = own("Host", "Host: " + fields.address.host + "\r\n");
    const std::string agent = own("User-Agent", std::string("User-Agent: ") + engineUserAgent + "\r\n");
    const std::string extra = caller + extraLine + (withCookie && !cookieTaken ? fields.cookieLine : std::string());
    auto compose = [&](bool withReferer) {
        if (fields.forwardedByProxy())
            // A proxy is told only what it needs, and the range (without it a
            // proxy would send every connection the whole file).
            return line1 + host + agent + extra + "Proxy-Connection: Keep-Alive\r\n\r\n";
        std::string request = line1 + host + own("Accept", "Accept: */*\r\n");
        if (withReferer && !fields.referer.empty()) request += own("Referer", "Referer: " + fields.referer + "\r\n");
        return request + agent + extra + own("Pragma", "Pragma: no-cache\r\n") +
               own("Cache-Control", "Cache-Control: no-cache\r\n") + "Connection: " +
               (fields.keepAlive ? "keep-alive" : "close") + "\r\n\r\n";
    };
    // The caller's own lines are bounded apart, by what the caller accepts.
    const std::size_t limit = maxRequestBytes + caller.size();
    std::string request = compose(true);
    if (request.size() > limit) request = compose(false);  // the referer is the part to spare
    if (request.size() > limit) return std::nullopt;
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
