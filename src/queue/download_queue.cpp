#include "queue/download_queue.h"

#include "download/connection_pool.h"
#include "download/disk_space.h"
#include "download/part_record.h"
#include "download/target_file.h"
#include "download_policy/work_file.h"
#include "queue/address_search.h"
#include "queue/item_run.h"

#include "text/folder_of.h"

#include <sys/stat.h>

#include <cstdio>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <cerrno>
#include <filesystem>
#include <unordered_set>

namespace zorvan {

namespace {

bool isRefusal(TaskOutcome outcome) {
    switch (outcome) {
        case TaskOutcome::Refused:
        case TaskOutcome::NoSize:
        case TaskOutcome::FileChanged:
        case TaskOutcome::CertificateUntrusted:
        case TaskOutcome::CertificateNameMismatch:
        case TaskOutcome::CertificateExpired:
        case TaskOutcome::TlsHandshakeFailed:
            return true;
        default:
            return false;
    }
}

// How long a speed is measured over: ticks may come far more often.
constexpr auto speedInterval = std::chrono::milliseconds(200);

}  // namespace

void removePartFiles(const std::string& path) {
    if (partFileInUse(path)) return;  // another download's, under way
    ::unlink(partPathOf(path).c_str());
    ::unlink(recordPathOf(path).c_str());
}

struct DownloadQueue::Running {
    explicit Running(GiveUpLimits limits) : watch(limits) {}
    std::unique_ptr<ItemRun> run;
    ProgressWatch watch;
    FailureKind givenUp = FailureKind::None;  // stopped by the queue for want of progress
    std::string givenUpError;                 // the engine's latest trouble then
    bool pausing = false;
    bool cancelling = false;  // removed with its part file once it has stopped
    bool removing = false;    // removed, its part file kept, once it has stopped
};

struct DownloadQueue::Search {
    std::unique_ptr<AddressSearch> search;
    FailureKind kind = FailureKind::None;  // how the work fails when it is not found again
    std::string lastError;
};

DownloadQueue::DownloadQueue(QueueSettings settings)
    : settings_(std::move(settings)), connections_(std::make_shared<ConnectionPool>()) {
    if (settings_.parallel < 1) settings_.parallel = 1;
}

DownloadQueue::~DownloadQueue() { stopAll(std::chrono::seconds(5)); }

QueueItem* DownloadQueue::find(int id) {
    const auto it = index_.find(id);
    return it == index_.end() ? nullptr : &items_[it->second];
}

const QueueItem* DownloadQueue::item(int id) const { return const_cast<DownloadQueue*>(this)->find(id); }

int DownloadQueue::indexOf(int id) const {
    const auto it = index_.find(id);
    return it == index_.end() ? -1 : static_cast<int>(it->second);
}

void DownloadQueue::reindex() {
    index_.clear();
    for (std::size_t i = 0; i < items_.size(); ++i) index_[items_[i].id] = i;
}

const QueueItem* DownloadQueue::findUnsettled(const Work& work) const {
    const std::string key = workKey(work.address);
    for (const QueueItem& i : items_)
        if (!i.settled() && workKey(i.work.address) == key) return &i;
    return nullptr;
}

void DownloadQueue::tell(QueueEvent::Kind kind, int id) {
    if (listener_) listener_(QueueEvent{kind, id});
}

int DownloadQueue::append(QueueItem item, int id) {
    item.id = id > 0 && index_.count(id) == 0 ? id : nextId_;
    nextId_ = std::max(nextId_, item.id + 1);
    index_[item.id] = items_.size();
    items_.push_back(std::move(item));
    tell(QueueEvent::Kind::Changed, items_.back().id);
    return items_.back().id;
}

int DownloadQueue::add(const Work& work, bool paused, std::int64_t total, std::int64_t done, int id) {
    QueueItem item;
    item.work = work;
    item.total = total;
    item.done = done;
    item.state = paused ? ItemState::Paused : ItemState::Waiting;
    hadWork_ = true;
    return append(std::move(item), id);
}

int DownloadQueue::addFinished(const Work& work, ItemState state, std::int64_t total, std::int64_t done,
                               const std::string& savedPath, std::int64_t finishedAt, int id) {
    QueueItem item;
    item.work = work;
    item.total = total;
    item.done = done;
    item.state = state == ItemState::Skipped ? ItemState::Skipped : ItemState::Done;
    item.savedPath = savedPath;
    item.finishedAt = finishedAt;
    return append(std::move(item), id);  // history: nothing to run, no batch to end
}

void DownloadQueue::pause(int id) {
    QueueItem* item = find(id);
    if (!item || (item->state != ItemState::Waiting && item->state != ItemState::Running)) return;
    item->findingAddress = false;  // what the search finds is not wanted now
    if (const auto it = runs_.find(id); it != runs_.end() && !it->second->cancelling && !it->second->removing) {
        it->second->pausing = true;
        it->second->run->stop();
    }
    item->state = ItemState::Paused;
    item->speed = 0;
    item->pausedByQueue = false;
    tell(QueueEvent::Kind::Changed, id);
}

void DownloadQueue::resume(int id) {
    QueueItem* item = find(id);
    if (!item || (item->state != ItemState::Paused && item->state != ItemState::Failed)) return;
    item->state = ItemState::Waiting;
    item->pausedByQueue = false;
    item->failureKind = FailureKind::None;
    item->lastError.clear();
    hadWork_ = true;
    tell(QueueEvent::Kind::Changed, id);
}

void DownloadQueue::cancel(int id) { cancel(std::vector<int>{id}); }

void DownloadQueue::cancel(const std::vector<int>& ids) { takeOut(ids, true); }

void DownloadQueue::remove(const std::vector<int>& ids) { takeOut(ids, false); }

// Works leave the list: at once when nothing runs for them, else once the
// run has let go of its part file; cancelled ones take their parts along.
void DownloadQueue::takeOut(const std::vector<int>& ids, bool dropParts) {
    std::unordered_set<int> gone;
    for (int id : ids) {
        QueueItem* item = find(id);
        if (!item) continue;
        if (const auto it = runs_.find(id); it != runs_.end()) {
            Running& run = *it->second;
            if (dropParts) run.cancelling = true;
            else if (!run.cancelling) run.removing = true;
            run.run->stop();
            item->state = ItemState::Paused;
            item->speed = 0;
            tell(QueueEvent::Kind::Changed, id);
            continue;
        }
        if (dropParts && (!item->settled() || item->state == ItemState::Failed)) removePartFiles(item->work.path);
        gone.insert(id);
    }
    // One pass over the list however many go.
    std::erase_if(items_, [&gone](const QueueItem& i) { return gone.count(i.id) != 0; });
    reindex();
    for (int id : ids)
        if (gone.count(id) != 0) tell(QueueEvent::Kind::Removed, id);
}

void DownloadQueue::move(const std::vector<int>& ids, Placement where, int anchorId) {
    if (!moveItems(items_, ids, where, anchorId)) return;
    reindex();
    tell(QueueEvent::Kind::Reordered);
}

void DownloadQueue::remove(int id) {
    const QueueItem* item = find(id);
    if (item && item->settled() && runs_.count(id) == 0) removeNow(id);
}

void DownloadQueue::removeNow(int id) {
    std::erase_if(items_, [id](const QueueItem& i) { return i.id == id; });
    reindex();
    tell(QueueEvent::Kind::Removed, id);
}

void DownloadQueue::pauseAll() {
    stopWaiting();  // the user's word: nothing goes on by itself
    for (QueueItem& item : items_)
        if (item.state == ItemState::Waiting || item.state == ItemState::Running) pause(item.id);
}

void DownloadQueue::resumeAll() {
    stopWaiting();
    pausedByFailures_ = false;
    folderGone_ = false;
    hadWork_ = true;
    pauseCause_ = {};
    unreachableInARow_ = 0;
    for (QueueItem& item : items_) {
        const bool gaveUp = item.state == ItemState::Failed &&
                            (item.failureKind == FailureKind::Unreachable || item.failureKind == FailureKind::Stalled);
        if (item.state == ItemState::Paused || gaveUp) resume(item.id);
    }
}

bool DownloadQueue::active() const {
    // Works waiting behind a queue that gave up do not start.
    return std::any_of(items_.begin(), items_.end(), [this](const QueueItem& i) {
        return (i.state == ItemState::Waiting && !pausedByFailures_) || i.state == ItemState::Running;
    }) || !runs_.empty();
}

QueueTotals DownloadQueue::totals() const {
    QueueTotals t;
    for (const QueueItem& i : items_) {
        if (i.state == ItemState::Waiting || i.state == ItemState::Running || i.state == ItemState::Paused) {
            if (i.total >= 0) t.bytesLeft += std::max<std::int64_t>(i.total - i.done, 0);
            else ++t.sizesUnknown;
        }
        switch (i.state) {
            case ItemState::Waiting: ++t.waiting; break;
            case ItemState::Running:
                ++t.running;
                t.speed += i.speed;
                t.retrying += i.retrying > 0 ? 1 : 0;
                break;
            case ItemState::Paused: ++t.paused; break;
            case ItemState::Failed: ++t.failed; break;
            case ItemState::Done: ++t.done; break;
            case ItemState::Skipped: ++t.skipped; break;
        }
    }
    return t;
}

// The work's folder, made again when it vanished and the program chose
// it; a folder the user named that is gone stops the queue, naming it.
bool DownloadQueue::folderReady(QueueItem& item) {
    const std::string folder = folderOf(item.work.path);
    struct stat info {};
    if (::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return true;
    std::error_code failed;
    if (settings_.remakeFolders && std::filesystem::create_directories(folder, failed)) return true;
    item.cause = {CauseKind::Disk, 0, failed ? failed.value() : ENOENT, "the folder is gone: " + folder};
    fail(item, FailureKind::Other);
    folderGone_ = !settings_.remakeFolders;
    pausedByFailures_ = true;
    pauseCause_ = item.cause;
    for (QueueItem& other : items_)
        if (other.state == ItemState::Running) pause(other.id);
    tell(QueueEvent::Kind::Changed, item.id);
    tell(QueueEvent::Kind::QueuePaused);
    return false;
}

// A damaged file of the work is set aside before it is fetched again.
void DownloadQueue::setAsideDamaged(QueueItem& item) {
    if (!item.work.replacesDamaged || !item.setAside.empty()) return;
    const std::string aside = setAsideOf(item.work.path);
    if (::rename(item.work.path.c_str(), aside.c_str()) == 0) item.setAside = aside;
}

// A file this queue saved for another work under the same name is never
// taken for this one's, however alike their bytes.
void DownloadQueue::keepApartFromSaved(QueueItem& item) {
    // Only a file under the name needs its holder found (a queue of
    // thousands is not walked for every start).
    struct stat there {};
    if (item.work.clash != ClashChoice::Complete || ::stat(item.work.path.c_str(), &there) != 0) return;
    const std::string key = workKey(item.work.address);
    for (const QueueItem& other : items_)
        if (other.id != item.id && other.state == ItemState::Done && other.savedPath == item.work.path &&
            workKey(other.work.address) != key) {
            item.work.clash = ClashChoice::Rename;
            return;
        }
}

void DownloadQueue::start(QueueItem& item, Clock::time_point now) {
    if (!folderReady(item)) return;
    setAsideDamaged(item);
    keepApartFromSaved(item);
    GiveUpLimits limits = settings_.limits;
    if (unreachableInARow_ > 0) limits.unreachable = std::min(limits.unreachable, limits.confirmGone);
    auto running = std::make_unique<Running>(limits);
    TaskParam params = settings_.taskParamsFor ? settings_.taskParamsFor(item.work)
                       : settings_.taskParams  ? settings_.taskParams()
                                               : TaskParam{};
    // A work paused or given up before goes on from its part file.
    if (item.runs++ > 0) params.continuePart = true;
    // A batch's works reuse each other's connections to the same server;
    // a single download closes its own, as the engine always has.
    if (item.work.batch) params.connectionPool = connections_;
    params.keepPartWhenRefused = mayMove(item);
    running->run = std::make_unique<ItemRun>(item.work, std::move(params), settings_.wake);
    item.failureKind = FailureKind::None;
    item.lastError.clear();
    item.stalledSeconds = 0;
    item.speed = 0;
    if (!running->run->start()) {
        fail(item, FailureKind::BadAddress);
        tell(QueueEvent::Kind::Changed, item.id);
        return;
    }
    running->watch.start(now, 0, 0);
    item.state = ItemState::Running;
    runs_[item.id] = std::move(running);
    tell(QueueEvent::Kind::Changed, item.id);
}

void DownloadQueue::follow(QueueItem& item, Running& r, Clock::time_point now, bool measureSpeed) {
    const ItemRun::Report report = r.run->report();
    const std::int64_t done = r.run->bytesDone();
    // Measured over a few tenths of a second, however often the queue ticks.
    if (measureSpeed) {
        const double seconds = std::chrono::duration<double>(now - lastSpeedAt_).count();
        const std::int64_t moved = r.run->takeBytesSinceLastQuery();
        if (item.state == ItemState::Running) item.speed = seconds > 0 ? static_cast<double>(moved) / seconds : 0;
    }
    // Until the server answers, the work shows what its part file holds,
    // not the nothing a run that has not reached it counts.
    if (report.reached) {
        item.total = report.total;
        item.done = done;
    }
    item.continuedFrom = report.continuedFrom;
    item.checkedBytes = report.checkedBytes;
    item.startedOver = report.startedOver;
    item.retrying = report.retrying;
    if (r.givenUp != FailureKind::None || r.pausing || r.cancelling || r.removing) return;
    switch (r.watch.check(now, done, report.reached, report.retries)) {
        case ProgressWatch::Verdict::Fine: return;
        case ProgressWatch::Verdict::Unreachable:
            r.givenUp = FailureKind::Unreachable;
            r.givenUpError = report.lastError;
            break;
        case ProgressWatch::Verdict::Stalled:
            r.givenUp = FailureKind::Stalled;
            item.stalledSeconds =
                static_cast<int>(std::chrono::duration_cast<std::chrono::seconds>(settings_.limits.stall).count());
            break;
    }
    r.run->stop();  // its part file is kept for a later try
}

void DownloadQueue::fail(QueueItem& item, FailureKind kind, std::string lastError) {
    item.state = ItemState::Failed;
    item.failureKind = kind;
    item.lastError = std::move(lastError);
    item.speed = 0;
    // Not fetched again: the damaged copy goes back where it was (a retry
    // sets it aside again), so the library still finds it, damaged.
    if (!item.setAside.empty() && !std::filesystem::exists(item.work.path) &&
        ::rename(item.setAside.c_str(), item.work.path.c_str()) == 0)
        item.setAside.clear();
}

void DownloadQueue::noteFailure(FailureKind kind) {
    if (kind != FailureKind::Unreachable) {
        unreachableInARow_ = 0;
        return;
    }
    if (++unreachableInARow_ < settings_.unreachableInARow || pausedByFailures_) return;
    pausedByFailures_ = true;
    pauseCause_ = {};
    for (QueueItem& item : items_)
        if (item.state == ItemState::Running) {
            pause(item.id);
            item.pausedByQueue = true;
        }
    if (settings_.serverWait.serverAnswers) waitForServer(Clock::now());
    tell(QueueEvent::Kind::QueuePaused);
}

void DownloadQueue::waitForServer(Clock::time_point now) {
    waitingSince_ = now;
    checkPause_ = settings_.serverWait.firstPause;
    nextCheck_ = now + checkPause_;
    ridingOut_ = false;  // said again by whoever waits
}

void DownloadQueue::stopWaiting() {
    waitingSince_.reset();
    serverCheck_.reset();
    ridingOut_ = false;
}

// Every running work retrying for a while: the server is said to be gone,
// and asked now and then, while the works still ride out a link that may
// come back; one that receives again ends it.
void DownloadQueue::noticeLostServer(Clock::time_point now) {
    int running = 0, retrying = 0;
    for (const QueueItem& item : items_) {
        if (item.state != ItemState::Running) continue;
        ++running;
        retrying += item.retrying > 0 ? 1 : 0;
    }
    if (running == 0 || retrying < running) {
        lostSince_.reset();
        if (ridingOut_ && !pausedByFailures_) stopWaiting();
        return;
    }
    if (!lostSince_) lostSince_ = now;
    if (waitingSince_ || pausedByFailures_ || !settings_.serverWait.serverAnswers) return;
    if (now - *lostSince_ < settings_.serverWait.sayAfter) return;
    waitForServer(now);
    ridingOut_ = true;
}

// Asks the server now and then while the queue waits for it, with one of
// the works that could not reach it; the pause grows while it stays away.
void DownloadQueue::checkServer(Clock::time_point now) {
    if (!waitingSince_) return;
    if (serverCheck_) {
        if (!serverCheck_->ready()) return;
        const bool answers = serverCheck_->answer();
        serverCheck_.reset();
        if (answers) {
            lostSince_.reset();  // the works' own retries reach it now; given time again
            resumeAfterServer();
            return;
        }
        checkPause_ = std::min(checkPause_ * 2, settings_.serverWait.longestPause);
        nextCheck_ = now + checkPause_;
        return;
    }
    if (now < nextCheck_) return;
    if (now - *waitingSince_ >= settings_.serverWait.giveUpAfter) {
        stopWaiting();  // paused, as without waiting: "全部继续" is the user's
        tell(QueueEvent::Kind::QueuePaused);
        return;
    }
    // A work that could not reach it, or one still retrying.
    const auto lost = std::find_if(items_.begin(), items_.end(), [this](const QueueItem& i) {
        return (i.state == ItemState::Failed && i.failureKind == FailureKind::Unreachable) ||
               (ridingOut_ && i.state == ItemState::Running && i.retrying > 0);
    });
    if (lost == items_.end()) {
        stopWaiting();
        return;
    }
    serverCheck_ = std::make_unique<BackgroundQuery<bool>>(settings_.serverWait.serverAnswers, lost->work);
}

// The server answers again: what it stopped goes on, what the user paused
// stays paused.
void DownloadQueue::resumeAfterServer() {
    stopWaiting();
    pausedByFailures_ = false;
    unreachableInARow_ = 0;
    hadWork_ = true;
    for (QueueItem& item : items_) {
        const bool lost = item.state == ItemState::Failed && item.failureKind == FailureKind::Unreachable;
        if (lost || (item.state == ItemState::Paused && item.pausedByQueue)) resume(item.id);
    }
}

void DownloadQueue::settle(QueueItem& item, Running& r) {
    const ItemRun::Report report = r.run->report();
    item.outcome = report.outcome;
    item.continuedFrom = report.continuedFrom;  // a run too short for any tick to follow
    item.checkedBytes = report.checkedBytes;
    item.startedOver = report.startedOver;
    item.cause = report.outcome == TaskOutcome::Complete ? FailureCause{} : r.run->lastCause();
    item.speed = 0;
    item.retrying = 0;
    if (report.total >= 0) item.total = report.total;
    if (report.outcome == TaskOutcome::Complete)
        item.done = report.bytesDone;
    else if (report.reached)
        item.done = std::max(report.kept, std::int64_t{0});
    if (r.cancelling || r.removing) {
        if (r.cancelling) removePartFiles(item.work.path);
        removeNow(item.id);
        return;
    }
    if (report.outcome == TaskOutcome::Complete || report.outcome == TaskOutcome::GivenUp ||
        report.outcome == TaskOutcome::AlreadyThere)
        item.finishedAt = std::time(nullptr);
    if (report.outcome == TaskOutcome::Complete) {
        item.state = ItemState::Done;
        item.savedPath = r.run->savedPath();
        unreachableInARow_ = 0;
        if (!item.setAside.empty() && ::unlink(item.setAside.c_str()) == 0) item.setAside.clear();
    } else if (report.outcome == TaskOutcome::GivenUp || report.outcome == TaskOutcome::AlreadyThere) {
        item.state = ItemState::Skipped;
        item.existingSize = report.outcome == TaskOutcome::AlreadyThere ? report.bytesDone : report.clashExisting;
        if (report.clashTotal >= 0) item.total = report.clashTotal;
        item.savedPath = report.outcome == TaskOutcome::AlreadyThere ? r.run->savedPath() : std::string();
    } else if (r.givenUp != FailureKind::None) {
        fail(item, r.givenUp, r.givenUpError);
        noteFailure(r.givenUp);
    } else if (report.outcome == TaskOutcome::Stopped) {
        // Continued while its run was still stopping: it waits for its
        // turn again instead of staying paused.
        if (item.state != ItemState::Waiting) item.state = ItemState::Paused;
    } else {
        const bool failing = !report.reached || r.watch.retriedSinceProgress(report.retries);
        const FailureKind kind = isRefusal(report.outcome) ? FailureKind::Refused
                                 : failing && report.outcome == TaskOutcome::TransferFailed
                                     ? FailureKind::Unreachable
                                     : FailureKind::Other;
        if (!searchAddress(item, kind, report.lastError)) {
            failRefusedPart(item, kind);
            fail(item, kind, report.lastError);
            noteFailure(kind);
        }
    }
    tell(QueueEvent::Kind::Changed, item.id);
}

bool DownloadQueue::mayMove(const QueueItem& item) const {
    return settings_.findAddress && !item.work.performer.empty() && !item.addressMoved;
}

void DownloadQueue::failRefusedPart(QueueItem& item, FailureKind kind) {
    // Kept only for the address search; a refused work keeps nothing.
    if (kind != FailureKind::Refused || !mayMove(item)) return;
    removePartFiles(item.work.path);
    item.done = 0;
}

bool DownloadQueue::searchAddress(QueueItem& item, FailureKind kind, const std::string& lastError) {
    // Services whose links expire answer these; a work moved once and
    // refused again is not chased further.
    const bool expired = kind == FailureKind::Refused && item.cause.kind == CauseKind::HttpStatus &&
                         (item.cause.status == 403 || item.cause.status == 404 || item.cause.status == 410);
    if (!expired || !mayMove(item)) return false;
    auto search = std::make_unique<Search>();
    search->search = std::make_unique<AddressSearch>(settings_.findAddress, item.work);
    search->kind = kind;
    search->lastError = lastError;
    searches_[item.id] = std::move(search);
    item.findingAddress = true;  // still on its way: it stays running
    return true;
}

void DownloadQueue::endSearches(Clock::time_point now) {
    for (auto it = searches_.begin(); it != searches_.end();) {
        if (!it->second->search->ready()) {
            ++it;
            continue;
        }
        const std::unique_ptr<Search> ended = std::move(it->second);
        QueueItem* item = find(it->first);
        it = searches_.erase(it);
        if (!item || !item->findingAddress) continue;  // paused or cancelled meanwhile
        item->findingAddress = false;
        const std::string found = ended->search->answer();
        if (found.empty() || found == item->work.address) {
            failRefusedPart(*item, ended->kind);
            fail(*item, ended->kind, ended->lastError);
            noteFailure(ended->kind);
            tell(QueueEvent::Kind::Changed, item->id);
            continue;
        }
        // What is on the disk is taken up from the new address when the
        // server's file is the same; the engine checks and says when not.
        moveRecordAddress(item->work.path, item->work.address, found);
        item->work.address = found;
        item->addressMoved = true;
        start(*item, now);
    }
}

void DownloadQueue::tick(Clock::time_point now) {
    const bool wasActive = active();
    const bool measureSpeed = now - lastSpeedAt_ >= speedInterval;
    for (auto it = runs_.begin(); it != runs_.end();) {
        QueueItem* item = find(it->first);
        if (it->second->run->report().ended) {
            // Taken out first: settling may remove the item and tell the listener.
            std::unique_ptr<Running> ended = std::move(it->second);
            it = runs_.erase(it);
            if (item) settle(*item, *ended);
            continue;
        }
        if (item) follow(*item, *it->second, now, measureSpeed);
        ++it;
    }
    if (measureSpeed) lastSpeedAt_ = now;
    endSearches(now);
    noticeLostServer(now);
    checkServer(now);
    if (!pausedByFailures_ && !ended_) {
        // A run whose bytes are all in no longer holds a place: the next
        // work fetches while the disk takes that one in (as many as fetch,
        // so a slow disk holds the queue back instead of piling up files).
        int fetching = static_cast<int>(std::count_if(runs_.begin(), runs_.end(), [](const auto& r) {
            return !r.second->run->report().received;
        }));
        // A name is held by the work that runs under it: another work of the
        // same name waits, and then finds its file there (never a race for it).
        std::unordered_set<std::string> held;
        for (const auto& [id, r] : runs_)
            if (const QueueItem* running = find(id)) held.insert(running->work.path);
        for (QueueItem& item : items_) {
            if (fetching >= settings_.parallel || static_cast<int>(runs_.size()) >= 2 * settings_.parallel ||
                pausedByFailures_)
                break;
            // A run of the same work still letting go of its part file goes first.
            if (item.state == ItemState::Waiting && runs_.count(item.id) == 0 && held.count(item.work.path) == 0 &&
                !heldElsewhere(item)) {
                start(item, now);
                if (runs_.count(item.id) != 0) {
                    ++fetching;
                    held.insert(item.work.path);
                }
            }
        }
    }
    if (wasActive && !active() && hadWork_) {
        hadWork_ = false;
        tell(QueueEvent::Kind::Settled);
    }
}

// Whether another program fetches the work now (it holds the part file's
// lock). Once it lets go the work starts: a file that program saved under
// the name is checked against the server's (skipped when it is this work
// whole, never saved twice; it may be another work of the same name), and
// one it left unfinished is taken up from its part.
bool DownloadQueue::heldElsewhere(QueueItem& item) {
    const bool held = partFileInUse(item.work.path);
    if (held == item.heldElsewhere) return held;
    item.heldElsewhere = held;
    std::error_code failed;
    if (!held && std::filesystem::is_regular_file(item.work.path, failed)) item.work.clash = ClashChoice::Complete;
    tell(QueueEvent::Kind::Changed, item.id);
    return held;
}

void DownloadQueue::stopAll(std::chrono::milliseconds limit) {
    ended_ = true;
    stopWaiting();
    for (QueueItem& item : items_)
        if (item.findingAddress) pause(item.id);
    searches_.clear();
    for (auto& [id, r] : runs_) {
        if (QueueItem* item = find(id); item && item->state == ItemState::Running) {
            item->state = ItemState::Paused;
            item->speed = 0;
        }
        if (!r->cancelling && !r->removing) r->pausing = true;
        r->run->stop();
    }
    const auto deadline = Clock::now() + limit;
    for (auto& [id, r] : runs_) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        r->run->waitUntilEnded(std::max(left, std::chrono::milliseconds(0)));
    }
    tick();
}

}  // namespace zorvan
