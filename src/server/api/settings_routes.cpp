#include "server/api/api_routes.h"

#include "server/service/server_downloads.h"

namespace zorvan {

void addSettingsRoutes(ApiRoutes& routes, ServerParts* parts) {
    routes.add("GET", "/api/settings", Access::Session, [parts](Exchange& x) {
        x.response.set_content(settingsJson(parts->downloads.settings()), "application/json");
    });
    // Only the members given change.
    routes.add("PUT", "/api/settings", Access::Session, [parts](Exchange& x) {
        x.body();  // 400 unless a JSON object
        std::string error;
        ServerSettings probe = parts->downloads.settings();
        if (!applySettingsJson(x.request.body, probe, error)) refuse(422, error);
        if (!parts->downloads.changeSettings(x.request.body, error))
            refuse(503, "the settings cannot be saved: " + error);
        x.response.set_content(settingsJson(parts->downloads.settings()), "application/json");
    });
}

}  // namespace zorvan
