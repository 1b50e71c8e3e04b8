#include "download/http_address.h"

#include "text/ascii_case.h"
#include "text/percent_coding.h"
#include "text/to_integer.h"

namespace zorvan {

int defaultPort(Scheme scheme) {
    switch (scheme) {
        case Scheme::Http: return 80;
        case Scheme::Ftp: return 21;
        case Scheme::Mms: return 1755;
        case Scheme::Rtsp: return 554;
        case Scheme::None: break;
    }
    return 0;
}

std::optional<ParsedAddress> parseAddress(std::string_view url) {
    static const struct {
        const char* prefix;
        Scheme scheme;
    } schemes[] = {{"http://", Scheme::Http}, {"ftp://", Scheme::Ftp}, {"mms://", Scheme::Mms},
                   {"mmst://", Scheme::Mms}, {"rtsp://", Scheme::Rtsp}};
    const std::string lower = asciiLower(url);
    for (const auto& s : schemes) {
        const std::string_view prefix = s.prefix;
        if (lower.compare(0, prefix.size(), prefix) != 0) continue;
        const std::string_view rest = url.substr(prefix.size());
        const auto slash = rest.find('/');
        if (slash == std::string_view::npos || slash == 0) return std::nullopt;
        ParsedAddress address;
        address.scheme = s.scheme;
        address.host = std::string(rest.substr(0, slash));
        address.path = std::string(rest.substr(slash));
        address.port = defaultPort(s.scheme);
        const auto colon = address.host.find(':');
        if (colon != std::string::npos) {
            const int port = toInteger(std::string_view(address.host).substr(colon + 1));
            if (port <= 0 || port > 65535) return std::nullopt;
            address.port = port;
        }
        return address;
    }
    return std::nullopt;
}

std::string escapeSpaces(std::string_view target) {
    std::string result;
    for (const char c : target) {
        if (c == ' ')
            result += "%20";
        else
            result += c;
    }
    return result;
}

std::string fileNameFromPath(std::string_view path) {
    path = path.substr(0, path.find('?'));
    const auto slash = path.rfind('/');
    const std::string_view last = slash == std::string_view::npos ? path : path.substr(slash + 1);
    std::string name;
    for (std::size_t i = 0; i < last.size() && name.size() < 1023; ++i) {
        const char c = last[i];
        if (c == '%' && i + 2 < last.size() && hexDigitValue(last[i + 1]) >= 0 && hexDigitValue(last[i + 2]) >= 0) {
            name += static_cast<char>(hexDigitValue(last[i + 1]) * 16 + hexDigitValue(last[i + 2]));
            i += 2;
        } else if (c == '+') {
            name += ' ';
        } else {
            name += c;
        }
    }
    return name;
}

std::string upToLastSlash(std::string_view address) {
    const auto slash = address.rfind('/');
    return std::string(slash == std::string_view::npos ? address : address.substr(0, slash));
}

}  // namespace zorvan
