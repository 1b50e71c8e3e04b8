#include "web/url_parts.h"

#include "text/ascii_case.h"
#include "text/find_text.h"
#include "text/to_integer.h"
#include "web/text_markers.h"

namespace zorvan {

bool isHttpsAddress(std::string_view address) { return startsWithIgnoringCase(address, "https"); }

std::string urlHost(std::string_view address, bool keepPort) {
    std::string t = asciiLower(address);
    if (t.empty() || t.back() != '/') t += '/';
    std::string host;
    if (t.compare(0, 8, "https://") == 0) {
        host = textBetween(t, "https://", "/");
    } else {
        if (findText(t, "http://") == -1) t = "http://" + t;
        host = textBetween(t, "http://", "/");
    }
    if (!keepPort) {
        // "[::1]:8080": an IPv6 address keeps its brackets, its colons are not the port's.
        const int colon = host.rfind('[', 0) == 0 ? findText(host, "]:") + 1 : findText(host, ":");
        if (colon > 0) host.resize(static_cast<std::size_t>(colon - 1));
    }
    return host;
}

int urlPort(std::string_view address) {
    const std::string hostAndPort = urlHost(address, true);
    const int colon = findLastText(hostAndPort, ":");
    if (colon == -1 || hostAndPort.back() == ']') return isHttpsAddress(address) ? 443 : 80;
    return toInteger(std::string_view(hostAndPort).substr(static_cast<std::size_t>(colon)));
}

std::string urlPath(std::string_view address) {
    const std::string host = urlHost(address);
    int from = 1;
    if (startsWithIgnoringCase(address, "https://"))
        from = 9;
    else if (startsWithIgnoringCase(address, "http://"))
        from = 8;
    const int hostAt = findText(address, host, from, true);
    const int slash = findText(address, "/", hostAt);
    if (slash == -1) return "/";
    return std::string(address.substr(static_cast<std::size_t>(slash - 1)));
}

}  // namespace zorvan
