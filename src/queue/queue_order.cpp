#include "queue/queue_order.h"

#include <algorithm>
#include <iterator>
#include <unordered_set>

namespace zorvan {

bool moveItems(std::vector<QueueItem>& items, const std::vector<int>& ids, Placement where, int anchorId) {
    const std::unordered_set<int> chosen(ids.begin(), ids.end());
    std::vector<int> before;
    before.reserve(items.size());
    for (const QueueItem& item : items) before.push_back(item.id);
    std::vector<QueueItem> moved, rest;
    std::size_t insertAt = 0;
    bool anchorSeen = false, anchorPlaced = false;
    for (QueueItem& item : items) {
        if (item.id == anchorId) anchorSeen = true;
        if (chosen.count(item.id) != 0) {
            moved.push_back(std::move(item));
            continue;
        }
        // The first work kept in place from the anchor on is the one the
        // moved works go before.
        if (anchorSeen && !anchorPlaced) {
            anchorPlaced = true;
            insertAt = rest.size();
        }
        rest.push_back(std::move(item));
    }
    if (where == Placement::Top) insertAt = 0;
    else if (where == Placement::Bottom || !anchorPlaced) insertAt = rest.size();
    std::vector<QueueItem> result;
    result.reserve(items.size());
    std::move(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(insertAt), std::back_inserter(result));
    std::move(moved.begin(), moved.end(), std::back_inserter(result));
    std::move(rest.begin() + static_cast<std::ptrdiff_t>(insertAt), rest.end(), std::back_inserter(result));
    items = std::move(result);
    return !std::equal(items.begin(), items.end(), before.begin(), before.end(),
                       [](const QueueItem& item, int id) { return item.id == id; });
}

}  // namespace zorvan
