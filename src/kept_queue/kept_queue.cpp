#include "kept_queue/kept_queue.h"

#include "download/part_record.h"
#include "download_policy/work_file.h"

#include <algorithm>
#include <optional>

namespace zorvan {

namespace {
constexpr auto saveInterval = std::chrono::seconds(1);
}

KeptQueue::KeptQueue(DownloadQueue& queue, PausedByUser pausedByUser)
    : queue_(queue), pausedByUser_(std::move(pausedByUser)) {}

std::string keptNote(const QueueItem& item, bool pausedByUser) {
    if (item.state == ItemState::Paused) return pausedByUser ? pausedNote : "";
    if (item.state == ItemState::Done || item.state == ItemState::Skipped) return stateName(item.state);
    if (item.state != ItemState::Failed) return "";
    switch (item.failureKind) {
        case FailureKind::Unreachable: return "failed:unreachable";
        case FailureKind::Stalled: return "failed:stalled";
        case FailureKind::Refused: return "failed:refused";
        case FailureKind::BadAddress: return "failed:bad-address";
        default: return "failed:other";
    }
}

KeptQueue::~KeptQueue() = default;

namespace {

Work workOf(const SavedWork& saved) {
    Work work;
    work.title = saved.title;
    work.address = saved.address;
    work.path = saved.path;
    work.clash = ClashChoice::Complete;
    work.service = saved.service;
    work.performer = saved.performer;
    work.sequence = saved.sequence;
    work.songName = saved.songName;
    work.batch = true;
    work.workId = saved.workId;
    return work;
}

}  // namespace

std::string KeptQueue::restore(const std::string& dbPath, StoreWriter::Written written, QueueOwner owner,
                               const Restored& restored) {
    std::string error;
    std::unique_ptr<LibraryDb> db = LibraryDb::open(dbPath, error);
    if (!db) return error;
    // What its part file holds is what continuing takes up; the file may
    // have gone since the queue was saved, or hold another address's
    // download. A file under the work's name is checked before anything is
    // fetched: a program that ended unexpectedly after a work was saved,
    // before its queue was, leaves the work whole there.
    queue_.setNextId(db->queue(owner).nextItemId(error));
    for (const SavedWork& saved : db->queue(owner).load(error)) {
        const bool done = saved.failure == stateName(ItemState::Done);
        if (done || saved.failure == stateName(ItemState::Skipped)) {
            const int id = queue_.addFinished(workOf(saved), done ? ItemState::Done : ItemState::Skipped, saved.total,
                                              saved.done, saved.savedPath, saved.finishedAt, saved.itemId);
            positions_[id] = saved.position;
            nextPosition_ = std::max(nextPosition_, saved.position + 1);
            if (restored) restored(id, saved);
            continue;
        }
        std::optional<PartRecord> part = loadPartRecord(recordPathOf(saved.path));
        if (part && part->address != saved.address) part.reset();
        const int id = queue_.add(workOf(saved), true, part ? part->size : saved.total, part ? part->doneBytes() : 0,
                                  saved.itemId);
        positions_[id] = saved.position;
        nextPosition_ = std::max(nextPosition_, saved.position + 1);
        if (restored) restored(id, saved);
    }
    unsaved_.clear();
    writer_ = std::make_unique<StoreWriter>(std::move(db), std::move(written), owner);
    digests_ = std::make_unique<DigestWorker>(dbPath);
    return error;
}

void KeptQueue::note(const QueueEvent& event) {
    switch (event.kind) {
        case QueueEvent::Kind::Changed:
        {
            unsaved_.insert(event.id);
            running_.erase(event.id);
            const QueueItem* item = queue_.item(event.id);
            // A saved work is in the library's files: no longer new for a
            // followed performer, and known as this work's file. Written
            // with the next save, not a transaction per work.
            if (item && item->state == ItemState::Done && writer_) {
                unrecorded_.push_back({workKey(item->work.address), item->savedPath, item->done, true,
                                       item->work.performer, item->work.sequence, item->work.songName,
                                       item->work.workId, item->work.address});
                if (digests_) digests_->add(item->savedPath);
            }
            if (item && item->state == ItemState::Running) running_.insert(event.id);
            break;
        }
        case QueueEvent::Kind::Removed:
            unsaved_.insert(event.id);
            running_.erase(event.id);
            break;
        case QueueEvent::Kind::Reordered: renumber(); break;
        default: break;
    }
}

// The queue is written at most once a save interval (a kill loses no more;
// the part files keep their own records), and at once when it comes to rest.
void KeptQueue::saveWhenDue(Clock::time_point now) {
    const bool anything = !unsaved_.empty() || !unrecorded_.empty() || !running_.empty();
    if (anything && (now - lastSave_ >= saveInterval || !queue_.active())) save();
}

// Only the works that changed since the last save are written, and those
// running (their bytes moved): a queue of thousands costs what moved, not
// its length.
void KeptQueue::save() {
    lastSave_ = Clock::now();
    unsaved_.insert(running_.begin(), running_.end());
    QueueChanges changes;
    changes.removed = std::move(dropped_);
    dropped_.clear();
    for (int id : unsaved_) {
        const QueueItem* item = queue_.item(id);
        const auto saved = positions_.find(id);
        // What left the queue is no longer kept; what finished stays as its
        // history until the user clears it.
        if (!item) {
            if (saved != positions_.end()) {
                changes.removed.push_back(saved->second);
                positions_.erase(saved);
            }
            continue;
        }
        const std::int64_t position = saved != positions_.end() ? saved->second : (positions_[id] = nextPosition_++);
        changes.written.push_back({item->work.title, item->work.address, item->work.path,
                                   keptNote(*item, pausedByUser_ && pausedByUser_(*item)),
                                   item->total, item->done, item->work.service, item->work.performer,
                                   item->work.sequence, item->work.songName, position, item->work.workId,
                                   item->id, item->savedPath, item->finishedAt});
    }
    unsaved_.clear();
    if (queue_.nextId() != savedNextId_) changes.nextItemId = savedNextId_ = queue_.nextId();
    if (writer_) writer_->write(std::move(changes), std::move(unrecorded_));
    unrecorded_.clear();
}

void KeptQueue::flush() {
    if (writer_) writer_->flush();
}

// The saved rows follow the queue's new order: every work gets a new row,
// in order, and its old row goes with the next save.
void KeptQueue::renumber() {
    for (const QueueItem& item : queue_.items()) {
        if (const auto old = positions_.find(item.id); old != positions_.end()) dropped_.push_back(old->second);
        positions_[item.id] = nextPosition_++;
        unsaved_.insert(item.id);
    }
}

}  // namespace zorvan
