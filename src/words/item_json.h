#pragma once

#include "queue/download_queue.h"
#include "words/item_words.h"

#include <nlohmann/json.hpp>

#include <string>

namespace zorvan {

// A queued work as JSON, the one shape every face gives it: the home
// server's API (QueueItem in its OpenAPI document) and the command line's
// --json lines, which add what a run says of it.
nlohmann::json itemJson(const QueueItem& item);
// The few figures that move while a work runs.
nlohmann::json progressJson(const QueueItem& item);
nlohmann::json totalsJson(const QueueTotals& totals);
// JSON as text for clients: a name that is not UTF-8 (a file name, what the
// service sent) has its bad bytes replaced rather than failing the whole.
std::string jsonText(const nlohmann::json& value);

}  // namespace zorvan
