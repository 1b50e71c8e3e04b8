#include "server/api/api_routes.h"

#include "server/api/door.h"

namespace zorvan {

ApiRoutes apiRoutes(ServerParts* parts) {
    ApiRoutes routes;
    addSessionRoutes(routes, parts);
    addWorksRoutes(routes, parts);
    addQueueRoutes(routes, parts);
    addLibraryRoutes(routes, parts);
    addFollowRoutes(routes, parts);
    addSettingsRoutes(routes, parts);
    addEventRoutes(routes, parts);
    routes.add("GET", "/api/openapi.json", Access::Open, [](Exchange& x) {
        x.response.set_content(openApiText(), "application/json");
    });
    return routes;
}

void addSessionRoutes(ApiRoutes& routes, ServerParts* parts) {
    routes.add("POST", "/api/login", Access::Open, [parts](Exchange& x) { parts->door.login(x); });
    routes.add("POST", "/api/logout", Access::Open, [parts](Exchange& x) { parts->door.logout(x); });
    routes.add("GET", "/api/session", Access::Session, [parts](Exchange& x) { parts->door.session(x); });
}

}  // namespace zorvan
