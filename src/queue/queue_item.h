#pragma once

#include "download/failure_cause.h"
#include "download/task_param.h"

#include <cstdint>
#include <string>

namespace zorvan {

// Where a queued work stands.
enum class ItemState {
    Waiting,  // its turn has not come
    Running,  // the engine fetches it
    Paused,   // stopped by the user or with the queue; its part file is kept
    Failed,   // given up; see failureKind
    Done,     // saved under savedPath
    Skipped,  // its name was taken and the work was not to be saved under another
};

// The state's name in data (saved rows, JSON, logs): "waiting", "running",
// "paused", "failed", "done", "skipped".
inline const char* stateName(ItemState state) {
    switch (state) {
        case ItemState::Waiting: return "waiting";
        case ItemState::Running: return "running";
        case ItemState::Paused: return "paused";
        case ItemState::Failed: return "failed";
        case ItemState::Done: return "done";
        case ItemState::Skipped: return "skipped";
    }
    return "waiting";
}

// Why a work was given up.
enum class FailureKind {
    None,
    Unreachable,  // the server could not be reached, or stopped answering
    Stalled,      // no data came for the stall limit
    Refused,      // the server's answer refused it (not found, say)
    BadAddress,   // the engine could not take its address
    Other,        // the file could not be written, the transfer failed, ...
};

// When the work's file name is taken as it starts.
enum class ClashChoice {
    Rename,  // save it as "name(1).mp4" ...
    Skip,    // leave the existing file and do not save this one
    // Check the file against the server's: leave it when it is this file
    // whole, complete it when it is its start (cut short by a crash or an
    // older tool), else leave it alone and save as "name(1).mp4".
    Complete,
};

// A work to queue: its title for people, its media address and the path of
// its file (UTF-8).
struct Work {
    std::string title;
    std::string address;
    std::string path;
    ClashChoice clash = ClashChoice::Rename;
    // Where it was listed, to find it again when its address expires:
    // the service, the performer, and its sequence number and song name
    // there (empty performer: unknown).
    std::string service{};
    std::string performer{};
    int sequence = 0;
    std::string songName{};
    // One of a batch: split over several connections only when it pays (a
    // single download splits as the engine plans it).
    bool batch = false;
    // The work's own id on the service, when its listing gave one: with the
    // performer, what knows it however its address or place change.
    std::string workId{};
    // The file at `path` is this work's, but its bytes are no longer those
    // saved: it is set aside (setAsideOf) while the work is fetched again,
    // and goes once the new file is saved; put back if that fails.
    bool replacesDamaged = false;
    // Its repeat number among its listing's works of one song name
    // (workRepeats): what tells their files apart.
    int repeat = 1;
};

// Where a damaged file waits while its work is fetched again.
inline std::string setAsideOf(const std::string& path) { return path + ".damaged"; }

// One work in the queue, as the queue reports it.
struct QueueItem {
    int id = 0;
    Work work;
    ItemState state = ItemState::Waiting;
    // Why it failed, as data the window and the command line put in words:
    // the kind, the engine's outcome and cause, the connection layer's
    // latest trouble in the engine's words, and how long a stalled work
    // received nothing.
    FailureKind failureKind = FailureKind::None;
    TaskOutcome outcome = TaskOutcome::TransferFailed;  // the engine's, after a run
    std::string lastError;            // UTF-8; empty: none said
    int stalledSeconds = 0;
    std::int64_t total = -1;          // bytes; -1 until known
    std::int64_t done = 0;            // bytes in the file, an earlier run's share included
    double speed = 0;                 // bytes per second, lately
    int retrying = 0;                 // tries since its broken connections last received (0: none broken)
    std::int64_t continuedFrom = 0;   // what an earlier run had left when this one took it up
    // Bytes fetched again to sample what was on the disk (0: a validator of
    // the server vouched for it, or nothing was taken up): taken-up bytes
    // that were sampled are not verified.
    std::int64_t checkedBytes = 0;
    int startedOver = 0;              // why what an earlier run left was not taken up (StartOverReason)
    std::string savedPath;            // where it was saved (another name after a clash), UTF-8
    std::int64_t finishedAt = 0;      // Done or Skipped: when (seconds since 1970); 0: not yet
    FailureCause cause;               // the engine's latest trouble, after a run that failed
    std::int64_t existingSize = -1;   // Skipped: the size of the file that held the name
    int runs = 0;                     // how often it was started
    bool findingAddress = false;      // its address expired: the performer is listed again
    bool pausedByQueue = false;       // paused when the server was lost, not by the user
    bool addressMoved = false;        // it goes on from the address the new listing gave
    // Another program on this library (the home server, the window) holds
    // its part file: it fetches this work now, so this one waits instead of
    // fetching it a second time.
    bool heldElsewhere = false;
    std::string setAside;             // the damaged file it replaces, set aside while it runs (replacesDamaged)

    bool settled() const { return state == ItemState::Done || state == ItemState::Failed || state == ItemState::Skipped; }
};

}  // namespace zorvan
