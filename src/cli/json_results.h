#pragma once

#include "queue/queue_item.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <string>

namespace zorvan::cli {

// How one download ended, for --json: a line of its own on standard output
// as it ends, so a script reads each as it comes.
struct ItemResult {
    std::string address;
    std::string path;         // UTF-8; where it was (or would be) saved
    std::string state;        // "done", "skipped", "failed", "stopped", "would-fetch"
    std::string cause;        // why it failed or was skipped; empty when done
    std::int64_t bytes = 0;   // in the file
    std::int64_t takenOver = 0;  // of those, what an earlier run's part file held
    double seconds = 0;
    int exitCode = 0;
    // A performer's work (get-all, sync): its performer, sequence and song.
    std::string performer{};
    int sequence = 0;
    std::string songName{};
    // Bytes it did not fetch (taken over, or a file already there): whether
    // they are proven (a validator of the server, the digest taken when they
    // were saved) or only sampled; none when there were none.
    std::optional<bool> verified{};
    // The queued work it was, when it was queued: its line holds all the
    // members the home server's API gives a queued work (QueueItem).
    std::optional<QueueItem> queued{};
};

// The run as a whole, after every item.
struct RunSummary {
    int done = 0, skipped = 0, failed = 0, stopped = 0, wouldFetch = 0;
    std::int64_t fetched = 0;    // bytes this run brought
    std::int64_t takenOver = 0;  // bytes earlier runs' part files held
    double seconds = 0;
    int exitCode = 0;
};

// One JSON value on a line of standard output, flushed; false when it could
// not be written.
bool printJsonLine(const nlohmann::ordered_json& value);

// Each writes one JSON object on a line of standard output and flushes it;
// false when it could not be written. A work's line has the members of the
// API's QueueItem (id, state, title, performer, sequence, song, address,
// path, done, total, failure, ...), `state` as the run ended ("stopped" and
// "would-fetch" too), and the run's own: takenOver, seconds, exitCode,
// verified. The older names bytes, cause and songName stay for one release.
bool printItemJson(const ItemResult& item);
bool printSummaryJson(const RunSummary& summary);

}  // namespace zorvan::cli
