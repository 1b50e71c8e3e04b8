#include "server/api/route_table.h"

namespace zorvan {

namespace {

// The next "/"-separated segment of `text` from `at`; `at` moves past it.
std::string_view nextSegment(std::string_view text, std::size_t& at) {
    const std::size_t end = text.find('/', at);
    const std::string_view segment = text.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
    at = end == std::string_view::npos ? text.size() + 1 : end + 1;
    return segment;
}

bool isNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
}

}  // namespace

bool validParam(std::string_view name, std::string_view value) {
    if (value.empty()) return false;
    if (name == "id") {
        if (value.size() > 9) return false;
        for (char c : value)
            if (c < '0' || c > '9') return false;
        return true;
    }
    if (value.size() > 64) return false;
    for (char c : value)
        if (!isNameChar(c)) return false;
    return true;
}

bool matchPattern(std::string_view pattern, std::string_view path, std::vector<std::string>& params) {
    if (path.empty() || path.front() != '/' || pattern.empty() || pattern.front() != '/') return false;
    std::size_t atPattern = 1, atPath = 1;
    while (atPattern <= pattern.size() && atPath <= path.size()) {
        const std::string_view want = nextSegment(pattern, atPattern);
        const std::string_view have = nextSegment(path, atPath);
        if (want.size() > 2 && want.front() == '{' && want.back() == '}') {
            if (!validParam(want.substr(1, want.size() - 2), have)) return false;
            params.emplace_back(have);
        } else if (want != have) {
            return false;
        }
    }
    // Both ran out together: no segment left over on either side.
    return atPattern > pattern.size() && atPath > path.size();
}

}  // namespace zorvan
