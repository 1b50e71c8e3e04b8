#include "cli/json_results.h"

#include "words/item_json.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>
#include <filesystem>

namespace zorvan::cli {

bool printJsonLine(const nlohmann::ordered_json& value) {
    // Song names come from the service: a stray byte is replaced, never a throw.
    const std::string text = value.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    return std::printf("%s\n", text.c_str()) >= 0 && std::fflush(stdout) == 0;
}

namespace {

using json = nlohmann::ordered_json;

double rounded(double seconds) { return std::round(seconds * 1000) / 1000; }

}  // namespace

bool printItemJson(const ItemResult& item) {
    QueueItem work = item.queued ? *item.queued : QueueItem{};
    if (!item.queued) {
        work.work.title = std::filesystem::path(item.path).filename().string();
        work.work.address = item.address;
        work.work.performer = item.performer;
        work.work.sequence = item.sequence;
        work.work.songName = item.songName;
    }
    work.savedPath = item.path;  // where it was, or would be, saved
    json value{{"type", "item"}};
    const nlohmann::json shared = itemJson(work);
    for (auto member = shared.begin(); member != shared.end(); ++member) value[member.key()] = *member;
    // As the run ended, in its words.
    const bool failed = item.state == "failed" || item.state == "stopped";
    value["state"] = item.state;
    value["done"] = item.bytes;
    value["failure"] = failed && !item.cause.empty() ? json(item.cause) : json();
    if (!(item.queued && item.queued->state == ItemState::Failed)) value["failureChinese"] = json();
    value["takenOver"] = item.takenOver;
    value["seconds"] = rounded(item.seconds);
    value["exitCode"] = item.exitCode;
    if (item.verified) value["verified"] = *item.verified;
    // The older names, for scripts written before.
    value["bytes"] = item.bytes;
    value["cause"] = item.cause.empty() ? json() : json(item.cause);
    if (!item.performer.empty()) value["songName"] = item.songName;
    return printJsonLine(value);
}

bool printSummaryJson(const RunSummary& s) {
    return printJsonLine({{"type", "summary"},   {"done", s.done},           {"skipped", s.skipped},
                      {"failed", s.failed},  {"stopped", s.stopped},     {"wouldFetch", s.wouldFetch},
                      {"fetchedBytes", s.fetched}, {"takenOverBytes", s.takenOver},
                      {"seconds", rounded(s.seconds)}, {"exitCode", s.exitCode}});
}

}  // namespace zorvan::cli
