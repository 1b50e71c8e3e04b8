#include "words/item_json.h"

#include "words/item_words.h"

namespace zorvan {

using nlohmann::json;

std::string jsonText(const json& value) { return value.dump(-1, ' ', false, json::error_handler_t::replace); }

json progressJson(const QueueItem& item) {
    return {{"id", item.id},
            {"done", item.done},
            {"total", item.total},
            {"speed", static_cast<std::int64_t>(item.speed)},
            {"retrying", item.retrying}};
}

json itemJson(const QueueItem& item) {
    json j = progressJson(item);
    j["state"] = stateName(item.state);
    j["title"] = item.work.title;
    j["performer"] = item.work.performer;
    j["sequence"] = item.work.sequence;
    j["song"] = item.work.songName;
    j["address"] = item.work.address;
    j["path"] = item.savedPath.empty() ? item.work.path : item.savedPath;
    j["pausedByQueue"] = item.pausedByQueue;
    j["heldElsewhere"] = item.heldElsewhere;  // the window (or another server) fetches it now
    const bool failed = item.state == ItemState::Failed;
    j["failure"] = failed ? json(failureWords(item, Words::English)) : json(nullptr);
    j["failureChinese"] = failed ? json(failureWords(item, Words::Chinese)) : json(nullptr);  // as the window words it
    j["finishedAt"] = item.finishedAt > 0 ? json(item.finishedAt) : json(nullptr);
    return j;
}

json totalsJson(const QueueTotals& t) {
    return {{"waiting", t.waiting},   {"running", t.running},     {"paused", t.paused},
            {"failed", t.failed},     {"done", t.done},           {"skipped", t.skipped},
            {"speed", static_cast<std::int64_t>(t.speed)},        {"bytesLeft", t.bytesLeft},
            {"sizesUnknown", t.sizesUnknown}, {"retrying", t.retrying}};
}

}  // namespace zorvan
