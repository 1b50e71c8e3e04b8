#pragma once

#include "service/service_event.h"

#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace zorvan {

// The queue as a face sees it: kept from the download service's events
// alone, on the face's own thread, so reading it never waits for the
// service, the engine or the disk. Read as the queue itself is read.
class QueueMirror {
public:
    // Takes in what the service said, in order; false when none of it
    // changed the works or the queue's status (events for the face alone).
    // Thousands of works removed at once cost one pass, not one each.
    bool apply(const std::vector<ServiceEvent>& events);

    const std::vector<QueueItem>& items() const { return items_; }
    const QueueItem* item(int id) const;
    // Its place in items(); -1 when it is not queued.
    int indexOf(int id) const;
    // A command on the queue was sent to the service: until it is
    // answered, the queue counts as active (its works may be on their way).
    void expectAnswer() { ++unanswered_; }
    const QueueStatus& status() const { return status_; }
    const QueueTotals& totals() const { return status_.totals; }
    bool active() const { return status_.active || unanswered_ > 0; }
    bool pausedByFailures() const { return status_.pausedByFailures; }
    bool waitingForServer() const { return status_.waitingForServer; }
    bool folderGone() const { return status_.folderGone; }
    const FailureCause& pauseCause() const { return status_.pauseCause; }
    // The item of this work (the same address) that is not settled, or nothing.
    const QueueItem* findUnsettled(const Work& work) const;

private:
    bool apply(const ServiceEvent& event);
    void dropGone();
    void reindex();

    std::vector<QueueItem> items_;
    std::unordered_map<int, std::size_t> index_;  // id -> its place in items_
    QueueStatus status_;
    int unanswered_ = 0;  // commands sent and not yet answered
    std::unordered_set<int> gone_;     // removed ids not yet taken out of items_
};

}  // namespace zorvan
