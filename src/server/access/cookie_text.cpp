#include "server/access/cookie_text.h"

#include <string_view>

namespace zorvan {
namespace {

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

std::string cookieValue(const std::string& cookieHeader, const std::string& name) {
    std::string_view rest = cookieHeader;
    while (!rest.empty()) {
        const auto end = rest.find(';');
        const std::string_view pair = trimmed(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        const auto equals = pair.find('=');
        if (equals != std::string_view::npos && trimmed(pair.substr(0, equals)) == name) {
            return std::string(trimmed(pair.substr(equals + 1)));
        }
    }
    return {};
}

std::string sessionCookie(const std::string& name, const std::string& value, bool secure,
                          std::optional<std::chrono::seconds> maxAge) {
    std::string text = name + "=" + value + "; Path=/; HttpOnly; SameSite=Strict";
    if (maxAge) text += "; Max-Age=" + std::to_string(maxAge->count());
    if (secure) text += "; Secure";
    return text;
}

}  // namespace zorvan
