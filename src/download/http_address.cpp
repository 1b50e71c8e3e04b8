#include "download/http_address.h"

#include "text/ascii_case.h"
#include "text/percent_coding.h"
#include "text/to_integer.h"

#include <algorithm>

namespace zorvan {

int defaultPort(Scheme scheme) {
    switch (scheme) {
        case Scheme::Http: return 80;
        case Scheme::Https: return 443;
        case Scheme::Ftp: return 21;
        case Scheme::Mms: return 1755;
        case Scheme::Rtsp: return 554;
        case Scheme::None: break;
    }
    return 0;
}

std::string hostName(const std::string& hostText) {
    if (!hostText.empty() && hostText[0] == '[') {
        const auto close = hostText.find(']');
        return hostText.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    }
    return hostText.substr(0, hostText.find(':'));
}

bool isWebScheme(Scheme scheme) { return scheme == Scheme::Http || scheme == Scheme::Https; }

const char* webSchemePrefix(Scheme scheme) { return scheme == Scheme::Https ? "https://" : "http://"; }

namespace {

struct SchemePrefix {
    const char* prefix;
    Scheme scheme;
};
constexpr SchemePrefix schemes[] = {{"http://", Scheme::Http},  {"https://", Scheme::Https}, {"ftp://", Scheme::Ftp},
                                    {"mms://", Scheme::Mms},    {"mmst://", Scheme::Mms},    {"rtsp://", Scheme::Rtsp}};

bool isControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }

// The address split up, or the fault that keeps it from being fetched.
AddressFault split(std::string_view url, ParsedAddress& address) {
    if (std::any_of(url.begin(), url.end(), isControl)) return AddressFault::ControlCharacter;
    const std::string lower = asciiLower(url);
    for (const SchemePrefix& s : schemes) {
        const std::string_view prefix = s.prefix;
        if (lower.compare(0, prefix.size(), prefix) != 0) continue;
        const std::string_view rest = url.substr(prefix.size());
        const auto hostEnd = rest.find_first_of("/?#");
        if (hostEnd == std::string_view::npos || hostEnd == 0 || rest[hostEnd] == '#') return AddressFault::NoPath;
        address.scheme = s.scheme;
        address.host = std::string(rest.substr(0, hostEnd));
        address.path = (rest[hostEnd] == '/' ? std::string() : std::string("/")) + std::string(rest.substr(hostEnd));
        address.port = defaultPort(s.scheme);
        if (address.host.find('@') != std::string::npos) return AddressFault::UserInfo;
        std::size_t colon = address.host.find(':');
        if (address.host[0] == '[') {
            const auto close = address.host.find(']');
            if (close == std::string::npos || close == 1) return AddressFault::Port;
            colon = close + 1 < address.host.size() ? close + 1 : std::string::npos;
            if (colon != std::string::npos && address.host[colon] != ':') return AddressFault::Port;
        }
        if (colon != std::string::npos) {
            const int port = toInteger(std::string_view(address.host).substr(colon + 1));
            if (port <= 0 || port > 65535) return AddressFault::Port;
            address.port = port;
        }
        return AddressFault::None;
    }
    return AddressFault::Scheme;
}

}  // namespace

AddressFault addressFault(std::string_view url) {
    ParsedAddress ignored;
    return split(url, ignored);
}

std::optional<ParsedAddress> parseAddress(std::string_view url) {
    ParsedAddress address;
    if (split(url, address) != AddressFault::None) return std::nullopt;
    return address;
}

std::string requestTarget(std::string_view pathOrAddress) {
    return percentEncode(pathOrAddress.substr(0, pathOrAddress.find('#')),
                         [](unsigned char byte) { return byte > 0x20 && byte < 0x7F; });
}

std::string fileNameFromPath(std::string_view path) {
    path = path.substr(0, path.find('?'));
    const auto slash = path.rfind('/');
    std::string last(slash == std::string_view::npos ? path : path.substr(slash + 1));
    for (char& c : last)
        if (c == '+') c = ' ';
    std::string name = percentDecode(last);
    if (name.size() > 1023) name.resize(1023);
    return name;
}

std::string upToLastSlash(std::string_view address) {
    const auto slash = address.rfind('/');
    return std::string(slash == std::string_view::npos ? address : address.substr(0, slash));
}

}  // namespace zorvan
