#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zorvan {

// Who may take a route.
enum class Access {
    Open,     // anyone who reached the right host (the login, the API's description)
    Session,  // a logged-in client; one that changes state shows its CSRF token
};

// Whether `path` fits `pattern`, its parameters in `params`.
bool matchPattern(std::string_view pattern, std::string_view path, std::vector<std::string>& params);
// Whether a text may stand for a parameter of this name.
bool validParam(std::string_view name, std::string_view value);

// The API's routes by method and path pattern ("/api/queue/{id}/pause"). A
// pattern's parameters take only what their name allows: "{id}" a number of
// up to 9 digits, any other a name of letters, digits, "_" and "-" (at most
// 64), so no parameter can hold a "/", a "." or anything a file name could
// be made of beyond that.
template <typename Handler>
class RouteTable {
public:
    struct Route {
        std::string method;
        std::string pattern;
        Access access;
        Handler handler;
    };
    struct Match {
        const Route* route = nullptr;     // nothing: no route for this method and path
        std::vector<std::string> params;  // in the pattern's order
        bool pathKnown = false;           // a route has this path under another method
    };

    void add(std::string method, std::string pattern, Access access, Handler handler) {
        routes_.push_back({std::move(method), std::move(pattern), access, std::move(handler)});
    }
    Match match(std::string_view method, std::string_view path) const {
        Match found;
        for (const Route& route : routes_) {
            std::vector<std::string> params;
            if (!matchPattern(route.pattern, path, params)) continue;
            found.pathKnown = true;
            if (route.method != method) continue;
            found.route = &route;
            found.params = std::move(params);
            return found;
        }
        return found;
    }
    const std::vector<Route>& routes() const { return routes_; }

private:
    std::vector<Route> routes_;
};


}  // namespace zorvan
