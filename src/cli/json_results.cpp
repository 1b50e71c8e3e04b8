#include "cli/json_results.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>

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
    json value{{"type", "item"},          {"address", item.address}, {"path", item.path},
               {"state", item.state},     {"bytes", item.bytes},     {"takenOver", item.takenOver},
               {"seconds", rounded(item.seconds)}, {"cause", item.cause.empty() ? json() : json(item.cause)},
               {"exitCode", item.exitCode}};
    if (item.verified) value["verified"] = *item.verified;
    if (!item.performer.empty()) {
        value["performer"] = item.performer;
        value["sequence"] = item.sequence;
        value["songName"] = item.songName;
    }
    return printJsonLine(value);
}

bool printSummaryJson(const RunSummary& s) {
    return printJsonLine({{"type", "summary"},   {"done", s.done},           {"skipped", s.skipped},
                      {"failed", s.failed},  {"stopped", s.stopped},     {"wouldFetch", s.wouldFetch},
                      {"fetchedBytes", s.fetched}, {"takenOverBytes", s.takenOver},
                      {"seconds", rounded(s.seconds)}, {"exitCode", s.exitCode}});
}

}  // namespace zorvan::cli
