#include "server/access/host_check.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include <arpa/inet.h>
#include <netinet/in.h>

namespace zorvan {
namespace {

std::string lowerCased(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool allDigits(const std::string& text) {
    return !text.empty() && text.size() <= 5 &&
           std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

// "[v6]" or "[v6]:port" -> "v6", else nothing.
std::optional<std::string> bracketedName(const std::string& host) {
    const auto close = host.find(']');
    if (close == std::string::npos || close < 2) return std::nullopt;
    const std::string port = host.substr(close + 1);
    if (!port.empty() && (port[0] != ':' || !allDigits(port.substr(1)))) return std::nullopt;
    const std::string name = host.substr(1, close - 1);
    const bool addressText = std::all_of(name.begin(), name.end(), [](unsigned char c) {
        return std::isxdigit(c) || c == ':' || c == '.';
    });
    if (!addressText) return std::nullopt;
    return name;
}

// The header's name without its port; nothing when it is not a host at all.
std::optional<std::string> hostName(const std::string& host) {
    const bool printable = std::all_of(host.begin(), host.end(), [](unsigned char c) { return c > 0x20 && c < 0x7f; });
    if (host.empty() || !printable) return std::nullopt;
    if (host[0] == '[') return bracketedName(host);
    const auto colon = host.find(':');
    if (colon == std::string::npos) return host;
    // One colon only: an IPv6 address must come in brackets.
    if (colon == 0 || !allDigits(host.substr(colon + 1))) return std::nullopt;
    return host.substr(0, colon);
}

// "[::1]" as given on a command line is the name "::1" of a Host header.
std::string bareName(const std::string& name) {
    const bool bracketed = name.size() > 2 && name.front() == '[' && name.back() == ']';
    return lowerCased(bracketed ? name.substr(1, name.size() - 2) : name);
}

bool isLoopback(const std::string& address) {
    in_addr v4{};
    in6_addr v6{};
    if (address == "localhost") return true;
    if (::inet_pton(AF_INET, address.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
    return ::inet_pton(AF_INET6, address.c_str(), &v6) == 1 && IN6_IS_ADDR_LOOPBACK(&v6);
}

bool isAnyAddress(const std::string& address) {
    in_addr v4{};
    in6_addr v6{};
    if (::inet_pton(AF_INET, address.c_str(), &v4) == 1) return v4.s_addr == htonl(INADDR_ANY);
    return ::inet_pton(AF_INET6, address.c_str(), &v6) == 1 && IN6_IS_ADDR_UNSPECIFIED(&v6);
}

}  // namespace

bool hostAllowed(const std::string& hostHeader, const std::vector<std::string>& allowedNames) {
    const std::optional<std::string> name = hostName(hostHeader);
    if (!name || name->empty()) return false;
    const std::string wanted = lowerCased(*name);
    return std::any_of(allowedNames.begin(), allowedNames.end(),
                       [&](const std::string& allowed) { return bareName(allowed) == wanted; });
}

std::vector<std::string> allowedHostNames(const std::string& listenAddress, const std::vector<std::string>& extra) {
    const std::string listen = bareName(listenAddress);
    std::vector<std::string> names;
    const auto add = [&names](const std::string& name) {
        const std::string bare = bareName(name);
        if (!bare.empty() && std::find(names.begin(), names.end(), bare) == names.end()) names.push_back(bare);
    };
    const bool any = listen.empty() || isAnyAddress(listen);
    if (!any) add(listen);
    if (any || isLoopback(listen)) {
        for (const char* name : {"localhost", "127.0.0.1", "::1"}) add(name);
    }
    for (const std::string& name : extra) add(name);
    return names;
}

}  // namespace zorvan
