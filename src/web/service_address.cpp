#include "web/service_address.h"

#include <cstdlib>

namespace zorvan {

namespace {

std::string withoutTrailingSlashes(std::string url) {
    while (!url.empty() && url.back() == '/') url.pop_back();
    return url;
}

}  // namespace

std::string defaultServiceAddress() { return withoutTrailingSlashes(ZORVAN_DEFAULT_SERVICE); }

std::string serviceAddress(const std::vector<std::string>& args, const std::string& remembered) {
    if (std::string given = givenServiceAddress(args); !given.empty()) return given;
    if (!remembered.empty()) return withoutTrailingSlashes(remembered);
    return defaultServiceAddress();
}

std::string givenServiceAddress(const std::vector<std::string>& args) {
    const std::string flag = "--service";
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == flag && i + 1 < args.size() && !args[i + 1].empty())
            return withoutTrailingSlashes(args[i + 1]);
        if (args[i].rfind(flag + "=", 0) == 0 && args[i].size() > flag.size() + 1)
            return withoutTrailingSlashes(args[i].substr(flag.size() + 1));
    }
    if (const char* env = std::getenv("ZORVAN_SERVICE"); env && *env)
        return withoutTrailingSlashes(env);
    return {};
}

}  // namespace zorvan
