#pragma once

#include "queue/queue_item.h"

#include <string>
#include <utility>
#include <vector>

namespace zorvan {

// What a face asks of queued works.
enum class QueueAction { Pause, Continue, Retry, Cancel, Remove };

// What became of an action on each work asked for.
struct ActionResult {
    std::vector<int> done;
    std::vector<int> unknown;                          // no such work
    std::vector<std::pair<int, std::string>> refused;  // not in a state for it, and why
};

// Why a work in `state` cannot take `action` (English, for scripts and
// logs); empty: it can.
std::string refusal(QueueAction action, ItemState state);

}  // namespace zorvan
