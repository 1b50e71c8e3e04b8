#include "server/api/api_routes.h"

#include "server/service/follow_service.h"

namespace zorvan {

using nlohmann::json;

namespace {

void checkLibrary(const std::string& error) {
    if (!error.empty()) refuse(503, "the library cannot be used: " + error);
}

// The performer a body names ("performer"), or empty for every one followed.
std::string performerIn(const json& body) {
    if (!body.contains("performer")) return {};
    if (!body["performer"].is_string() || !validParam("performer", body["performer"].get<std::string>()))
        refuse(422, "\"performer\" is not a performer id");
    return body["performer"];
}

// 404 for a performer not followed: checking it would record its works
// in the library under a performer nobody follows.
void requireFollowed(ServerParts& parts, const std::string& performer) {
    if (performer.empty()) return;
    std::string error;
    for (const FollowedPerformer& p : parts.following.following(error))
        if (p.id == performer) return;
    checkLibrary(error);
    refuse(404, "performer " + performer + " is not followed");
}

void listFollowing(ServerParts& parts, Exchange& x) {
    std::string error;
    const std::vector<FollowedPerformer> followed = parts.following.following(error);
    checkLibrary(error);
    json list = json::array();
    for (const FollowedPerformer& p : followed)
        list.push_back({{"performer", p.id},
                        {"added", p.added},
                        {"lastChecked", p.lastChecked},
                        {"lastError", p.lastError.empty() ? json() : json(p.lastError)},
                        {"works", p.works},
                        {"newWorks", p.newWorks}});
    x.reply({{"following", std::move(list)}});
}

void newWorks(ServerParts& parts, Exchange& x) {
    requireFollowed(parts, x.params[0]);
    std::string error;
    const std::vector<SeenWork> works = parts.following.newWorks(x.params[0], error);
    checkLibrary(error);
    json list = json::array();
    for (const SeenWork& w : works)
        list.push_back({{"sequence", w.sequence}, {"song", w.songName}, {"address", w.address}});
    x.reply({{"performer", x.params[0]}, {"works", std::move(list)}});
}

}  // namespace

void addFollowRoutes(ApiRoutes& routes, ServerParts* parts) {
    routes.add("GET", "/api/following", Access::Session, [parts](Exchange& x) { listFollowing(*parts, x); });
    routes.add("PUT", "/api/following/{performer}", Access::Session, [parts](Exchange& x) {
        std::string error;
        if (!parts->following.follow(x.params[0], error)) checkLibrary(error.empty() ? "not written" : error);
        x.reply({{"following", x.params[0]}});
    });
    routes.add("DELETE", "/api/following/{performer}", Access::Session, [parts](Exchange& x) {
        std::string error;
        if (!parts->following.unfollow(x.params[0], error)) {
            checkLibrary(error);
            refuse(404, "performer " + x.params[0] + " is not followed");
        }
        x.reply({{"unfollowed", x.params[0]}});
    });
    routes.add("GET", "/api/following/{performer}/new", Access::Session, [parts](Exchange& x) { newWorks(*parts, x); });
    routes.add("POST", "/api/following/check", Access::Session, [parts](Exchange& x) {
        const std::string performer = performerIn(x.body());
        requireFollowed(*parts, performer);
        parts->following.checkSoon(performer);
        x.reply({{"checking", performer.empty() ? json("all") : json(performer)}}, 202);
    });
    routes.add("POST", "/api/following/download-new", Access::Session, [parts](Exchange& x) {
        std::string error;
        const std::string performer = performerIn(x.body());
        requireFollowed(*parts, performer);
        const int queued = parts->following.downloadNew(performer, error);
        if (queued < 0) checkLibrary(error);
        x.reply({{"queued", queued}});
    });
}

}  // namespace zorvan
