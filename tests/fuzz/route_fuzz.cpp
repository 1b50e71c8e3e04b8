// The server's router: whatever path a client sends, a route it takes has
// exactly that path, and each parameter holds only what its name allows (no
// "/", ".", "%", "\" or NUL can reach a handler through it).
#include "fuzz_check.h"
#include "api_route_patterns.h"
#include "server/api/route_table.h"

#include <cstdint>
#include <string>

using namespace zorvan;

namespace {

const RouteTable<int>& table() {
    static const RouteTable<int> routes = [] {
        RouteTable<int> built;
        int n = 0;
        for (const char* pattern : apiRoutePatterns) built.add("GET", pattern, Access::Session, n++);
        return built;
    }();
    return routes;
}

// The pattern with its parameters put in, as the path must read.
std::string filledIn(const std::string& pattern, const std::vector<std::string>& params) {
    std::string path;
    std::size_t next = 0;
    for (std::size_t at = 0; at < pattern.size();) {
        if (pattern[at] == '{') {
            const std::size_t end = pattern.find('}', at);
            path += params.at(next++);
            at = end + 1;
        } else {
            path += pattern[at++];
        }
    }
    FUZZ_CHECK(next == params.size());
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path(reinterpret_cast<const char*>(data), size);
    const auto match = table().match("GET", path);
    if (!match.route) return 0;
    FUZZ_CHECK(filledIn(match.route->pattern, match.params) == path);
    for (const std::string& param : match.params) {
        FUZZ_CHECK(!param.empty() && param.size() <= 64);
        FUZZ_CHECK(param.find_first_of("/.%\\?#;:") == std::string::npos);
        FUZZ_CHECK(param.find('\0') == std::string::npos);
    }
    return 0;
}
