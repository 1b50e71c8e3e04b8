#include "server/api/api_routes.h"

#include "server/service/server_downloads.h"
#include "words/item_json.h"

namespace zorvan {

using nlohmann::json;

namespace {

// The limit on works queued in one request.
constexpr std::size_t mostWorksAtOnce = 20000;

bool isWebAddress(const std::string& address) {
    return address.rfind("http://", 0) == 0 || address.rfind("https://", 0) == 0;
}

Work workFrom(ServerParts& parts, const json& given) {
    const auto text = [&](const char* name) {
        return given.contains(name) && given[name].is_string() ? given[name].get<std::string>() : std::string();
    };
    const std::string song = text("song"), address = text("address"), performer = text("performer");
    if (song.empty()) refuse(422, "each work needs its song name (\"song\")");
    if (!isWebAddress(address)) refuse(422, "each work needs its http or https address (\"address\")");
    if (!performer.empty() && !validParam("performer", performer)) refuse(422, "\"performer\" is not a performer id");
    const bool numbered = given.contains("sequence") && given["sequence"].is_number_integer();
    const int sequence = numbered ? given["sequence"].get<int>() : 0;
    const std::string id = text("workId");
    if (!id.empty() && !validParam("workId", id)) refuse(422, "\"workId\" is not a work's id on the service");
    int repeat = 1;
    if (given.contains("repeat")) {
        if (!given["repeat"].is_number_integer() || given["repeat"].get<int>() < 1 || given["repeat"].get<int>() > 9999)
            refuse(422, "\"repeat\" must be a number from 1 to 9999");
        repeat = given["repeat"].get<int>();
    }
    return parts.downloads.workOf(performer, sequence, song, address, id, repeat);
}

void enqueue(ServerParts& parts, Exchange& x) {
    const json body = x.body();
    if (!body.contains("works") || !body["works"].is_array() || body["works"].empty())
        refuse(422, "\"works\" must be a list of works ({performer, sequence, song, address})");
    if (body["works"].size() > mostWorksAtOnce)
        refuse(422, "at most " + std::to_string(mostWorksAtOnce) + " works can be queued at once");
    std::vector<Work> works;
    for (const json& given : body["works"]) {
        if (!given.is_object()) refuse(422, "each work must be a JSON object");
        works.push_back(workFrom(parts, given));
    }
    x.reply({{"ids", parts.downloads.enqueue(works)}}, 201);
}

void showQueue(ServerParts& parts, Exchange& x) {
    x.response.set_content(parts.downloads.queueText(), "application/json");
}

// What became of each work; 404 when none was known, 409 when none could.
void actOn(ServerParts& parts, Exchange& x, QueueAction action, const std::vector<int>& ids) {
    const ActionResult result = parts.downloads.act(action, ids);
    json refused = json::array();
    for (const auto& [id, why] : result.refused) refused.push_back({{"id", id}, {"cause", why}});
    if (result.done.empty() && result.refused.empty()) refuse(404, "no such work in the queue");
    if (result.done.empty()) refuse(409, result.refused.front().second);
    x.reply({{"done", result.done}, {"unknown", result.unknown}, {"refused", std::move(refused)}});
}

QueueAction actionNamed(const json& name) {
    if (name == "pause") return QueueAction::Pause;
    if (name == "continue") return QueueAction::Continue;
    if (name == "retry") return QueueAction::Retry;
    if (name == "cancel") return QueueAction::Cancel;
    if (name == "remove") return QueueAction::Remove;
    refuse(422, "\"action\" must be pause, continue, retry, cancel or remove");
}

void move(ServerParts& parts, Exchange& x) {
    const json body = x.body();
    const std::vector<int> ids = idsOf(body);
    const json to = body.value("to", json());
    Placement where = Placement::Top;
    int anchor = 0;
    if (to == "bottom") where = Placement::Bottom;
    else if (to == "before") {
        where = Placement::Before;
        if (!body.contains("anchor") || !body["anchor"].is_number_integer())
            refuse(422, "moving before a work needs its id (\"anchor\")");
        anchor = body["anchor"].get<int>();
    } else if (to != "top") {
        refuse(422, "\"to\" must be top, bottom or before");
    }
    if (!parts.downloads.move(ids, where, anchor)) refuse(404, "no such work in the queue");
    x.reply({{"moved", ids}});
}

void addItemAction(ApiRoutes& routes, ServerParts* parts, const char* name, QueueAction action) {
    routes.add("POST", std::string("/api/queue/{id}/") + name, Access::Session,
               [parts, action](Exchange& x) { actOn(*parts, x, action, {x.idParam(0)}); });
}

}  // namespace

void addQueueRoutes(ApiRoutes& routes, ServerParts* parts) {
    routes.add("GET", "/api/queue", Access::Session, [parts](Exchange& x) { showQueue(*parts, x); });
    routes.add("POST", "/api/queue", Access::Session, [parts](Exchange& x) { enqueue(*parts, x); });
    routes.add("GET", "/api/queue/{id}", Access::Session, [parts](Exchange& x) {
        const std::optional<QueueItem> item = parts->downloads.item(x.idParam(0));
        if (!item) refuse(404, "no such work in the queue");
        x.reply(itemJson(*item));
    });
    routes.add("DELETE", "/api/queue/{id}", Access::Session,
               [parts](Exchange& x) { actOn(*parts, x, QueueAction::Remove, {x.idParam(0)}); });
    addItemAction(routes, parts, "pause", QueueAction::Pause);
    addItemAction(routes, parts, "continue", QueueAction::Continue);
    addItemAction(routes, parts, "retry", QueueAction::Retry);
    addItemAction(routes, parts, "cancel", QueueAction::Cancel);
    routes.add("POST", "/api/queue/actions", Access::Session, [parts](Exchange& x) {
        const json body = x.body();
        actOn(*parts, x, actionNamed(body.value("action", json())), idsOf(body));
    });
    routes.add("POST", "/api/queue/move", Access::Session, [parts](Exchange& x) { move(*parts, x); });
    routes.add("POST", "/api/queue/pause-all", Access::Session, [parts](Exchange& x) {
        parts->downloads.pauseAll();
        x.reply({{"paused", true}});
    });
    routes.add("POST", "/api/queue/continue-all", Access::Session, [parts](Exchange& x) {
        parts->downloads.resumeAll();
        x.reply({{"paused", false}});
    });
}

}  // namespace zorvan
