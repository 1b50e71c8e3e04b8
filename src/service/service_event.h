#pragma once

#include "queue/download_queue.h"

#include <chrono>
#include <string>
#include <vector>

namespace zorvan {

// Where the queue as a whole stands, sent after anything changed it.
struct QueueStatus {
    QueueTotals totals;
    bool active = false;            // works run, or wait for their turn
    bool pausedByFailures = false;  // works kept failing to reach the server
    bool waitingForServer = false;  // and it is asked now and then
    std::chrono::steady_clock::time_point nextServerCheck{};  // when it is asked next
    bool folderGone = false;        // a work's folder vanished (not to be made again)
    bool pausedByUser = false;      // pause all, until continue all
    FailureCause pauseCause;        // what the disk said when a folder stopped it
};

// What the download service tells its faces, in the order it happened. A
// face keeps what it shows from these alone (see QueueMirror).
struct ServiceEvent {
    enum class Kind {
        Changed,        // `item` was added or changed
        Removed,        // `id` left the queue
        Reordered,      // `order`: every id, in the queue's new order
        Progress,       // `items`: the running works, their bytes moved
        Status,         // `status`: the queue as a whole
        QueuePaused,    // works kept failing to reach the server (`status`)
        BatchStarted,   // a work runs after the queue was idle
        Settled,        // nothing waits or runs: `items`, the batch that ended
        FilesRecorded,  // the library learned of files saved
        StoreProblem,   // `text`: why the library could not be read or written
        Answered,       // a command on the queue was carried out: its changes are told before this
    };
    Kind kind = Kind::Status;
    int id = 0;
    QueueItem item;
    std::vector<QueueItem> items;
    std::vector<int> order;
    QueueStatus status;
    std::string text;
};

}  // namespace zorvan
