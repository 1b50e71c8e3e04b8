#pragma once

#include "queue/queue_item.h"

#include <vector>

namespace zorvan {

// Where moved works go in the queue.
enum class Placement {
    Top,     // before every other work
    Bottom,  // after every other work
    Before,  // before the anchor work (the first one not moved from it on; the end when none)
};

// Moves the works with these ids, keeping their order among themselves.
// Returns whether anything moved.
bool moveItems(std::vector<QueueItem>& items, const std::vector<int>& ids, Placement where, int anchorId = 0);

}  // namespace zorvan
