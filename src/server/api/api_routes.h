#pragma once

#include "server/api/exchange.h"
#include "server/api/route_table.h"

#include <atomic>
#include <functional>
#include <string>

namespace zorvan {

class ServerDownloads;
class FollowService;
class LibraryVerifier;
class Door;

// What the routes work on, owned by the program.
struct ServerParts {
    ServerDownloads& downloads;
    FollowService& following;
    LibraryVerifier& verifier;
    Door& door;
    std::atomic<int> streams{0};  // live event streams open
    int mostStreams = 32;         // each holds one of the server's threads
    std::atomic<bool> stopping{false};  // long answers (streams, videos) end
};

using ApiHandler = std::function<void(Exchange&)>;
using ApiRoutes = RouteTable<ApiHandler>;

// Every route of the API, each in the group of its own file. The parts are
// only used when a route is taken.
ApiRoutes apiRoutes(ServerParts* parts);

void addSessionRoutes(ApiRoutes& routes, ServerParts* parts);
void addWorksRoutes(ApiRoutes& routes, ServerParts* parts);
void addQueueRoutes(ApiRoutes& routes, ServerParts* parts);
void addLibraryRoutes(ApiRoutes& routes, ServerParts* parts);
void addFollowRoutes(ApiRoutes& routes, ServerParts* parts);
void addSettingsRoutes(ApiRoutes& routes, ServerParts* parts);
void addEventRoutes(ApiRoutes& routes, ServerParts* parts);

// The API's OpenAPI 3 description (built into the program).
const std::string& openApiText();

}  // namespace zorvan
