#include "cli/address_credentials.h"

#include "text/percent_coding.h"

namespace zorvan::cli {

namespace {

std::string base64(const std::string& bytes) {
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16 | static_cast<unsigned char>(bytes[i + 1]) << 8 |
                           static_cast<unsigned char>(bytes[i + 2]);
        out += {digits[v >> 18], digits[(v >> 12) & 63], digits[(v >> 6) & 63], digits[v & 63]};
    }
    if (i + 1 == bytes.size()) {
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        out += {digits[v >> 18], digits[(v >> 12) & 63], '=', '='};
    } else if (i + 2 == bytes.size()) {
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16 | static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += {digits[v >> 18], digits[(v >> 12) & 63], digits[(v >> 6) & 63], '='};
    }
    return out;
}

}  // namespace

Credentials takeCredentials(const std::string& address) {
    const auto scheme = address.find("://");
    if (scheme == std::string::npos) return {address, {}};
    const std::size_t hostStart = scheme + 3;
    const std::size_t hostEnd = std::min(address.find_first_of("/?#", hostStart), address.size());
    const auto at = address.rfind('@', hostEnd - 1);
    if (at == std::string::npos || at < hostStart) return {address, {}};
    // Written percent-encoded in an address ("p%40ss"), sent as they are.
    const std::string userInfo = percentDecode(address.substr(hostStart, at - hostStart));
    return {address.substr(0, hostStart) + address.substr(at + 1), "Authorization: Basic " + base64(userInfo)};
}

}  // namespace zorvan::cli
