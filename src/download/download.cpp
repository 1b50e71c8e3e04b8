#include "download/download.h"

#include "download/connection.h"
#include "download/http_address.h"
#include "download/task.h"

#include <cstring>
#include <map>
#include <system_error>
#include <thread>

namespace zorvan {

namespace {

// Every live task, for the procedures that name a task by its id.
std::mutex engineLock;
std::map<TaskId, std::weak_ptr<Task>> liveTasks;
TaskId lastTaskId = 0;

void startConnection(Task& task, bool early = false) {
    std::lock_guard lock(task.connectionLock);
    std::shared_ptr<Connection> connection;
    const int number = task.started + 1;
    int segment = -1;
    if (task.started == 0) {
        const int count = std::max(1, task.params.connections);
        connection = std::make_shared<Connection>(task, number, Connection::firstConnection, count - 1);
    } else if (early) {
        segment = Connection::awaitingPlan;
        connection = std::make_shared<Connection>(task, number, segment, 0);
    } else {
        segment = task.target.segments.claimForNewConnection(number, task.minimumSplit());
        if (segment < 0) return;
        connection = std::make_shared<Connection>(task, number, segment, 0);
    }
    ++task.active;
    ++task.started;
    task.connections.push_back(connection);
    try {
        connection->start();
    } catch (const std::system_error&) {
        // No thread: as if this connection had never been asked for.
        task.connections.pop_back();
        --task.active;
        --task.started;
        if (segment >= 0) task.target.segments.release(segment, number);
        if (early) --task.preOpened;
    }
}

// Whether every byte of the file is in it.
bool allStored(const Task& task) {
    if (task.target.writeFailed) return false;
    return task.totalSize.load() < 0 ? task.wholeBodyDone.load() : task.target.segments.allFinished();
}

// Whether an unfinished download's part file is worth keeping: not when
// the server refused the file, or it changed, which makes its bytes useless.
bool keepsPart(const Task& task) {
    if (task.fileChanged) return false;
    if (task.stopping) return true;
    switch (static_cast<TaskOutcome>(task.failure.load())) {
        case TaskOutcome::Refused: return task.params.keepPartWhenRefused;
        case TaskOutcome::NoSize:
        case TaskOutcome::FileChanged:
        case TaskOutcome::GivenUp:
        case TaskOutcome::AlreadyThere:
        case TaskOutcome::CannotCreateFile:
        case TaskOutcome::NotSaved:
            return false;
        default:
            return true;
    }
}

// Closes a file that is not complete: a part file worth keeping stays,
// its record brought up to date (event 22); anything else goes.
void closeUnfinished(Task& task) {
    // A part taken up and never recorded since holds what its record says.
    std::int64_t kept = task.resumption ? task.resumption->record.doneBytes() : 0;
    std::unique_ptr<TargetFile> file = std::move(task.target.file);
    if (task.resumption && task.resumption->file) file = std::move(task.resumption->file);  // never answered
    if (task.target.checkpoint) {
        task.target.checkpoint->saveNow();
        if (task.target.checkpoint->savedBytes() > 0) kept = task.target.checkpoint->savedBytes();
    }
    task.target.checkpoint.reset();
    task.resumption.reset();
    if (file && file->isPartFile() && kept > 0 && keepsPart(task)) {
        file->keep();
        task.eventNow(event::partKept, kept, file->size());
    }
}

// Stops and joins every connection, then closes the file: named when every
// byte is in; else kept as a part file or removed. Returns whether the
// file is complete.
bool finishTransfers(Task& task) {
    task.transfersFinished = true;
    task.noNewConnections = true;
    std::vector<std::shared_ptr<Connection>> connections;
    {
        std::lock_guard lock(task.connectionLock);
        connections = task.connections;
    }
    for (auto& c : connections) c->requestStop();
    for (auto& c : connections) c->join();
    if (task.target.checkpoint) task.target.checkpoint->stop();
    const bool complete = task.target.ready && allStored(task);
    if (!complete) {
        closeUnfinished(task);
        return false;
    }
    task.target.checkpoint.reset();
    // The network is done with this file: a caller with more to fetch may
    // start it while the disk takes this one in.
    task.eventNow(event::allReceived, task.totalSize.load(), 0);
    if (!task.target.file->commit()) {
        task.logNow(0, logLevel::error, gbkFormat("保存文件失败：%s", std::strerror(task.target.file->commitError())));
        task.noteCause({CauseKind::Disk, 0, task.target.file->commitError(), "cannot name the file"});
        task.noteFailure(TaskOutcome::NotSaved);
        task.target.file.reset();
        return false;
    }
    task.target.file.reset();
    return true;
}

// A file that changed on the server is fetched once more from the start,
// by a new first connection, into a new file.
bool startOver(Task& task) {
    if (task.stopping || task.attempt.load() > 1) return false;
    task.logNow(0, logLevel::note, gbkFormat("文件在下载过程中被服务器更改, 重新开始下载"));
    {
        std::lock_guard lock(task.connectionLock);
        task.connections.clear();
        task.started = 0;
    }
    {
        std::lock_guard lock(task.progressLock);
        task.bytesDone = 0;
        task.bytesSinceQuery = 0;
    }
    task.target.segments.clear();
    task.totalSize = -1;
    task.sizeReported = false;
    task.target.ready = false;
    task.plan = Task::Plan::Pending;
    task.preOpened = 0;
    task.fileChanged = false;
    task.failure = -1;
    task.bodyBytesStored = 0;
    task.wholeBodyDone = false;
    task.noNewConnections = false;
    task.transfersFinished = false;
    ++task.attempt;
    task.queue.post(InternalEvent::of(InternalEvent::Kind::StartConnection));
    return true;
}

// Handles one event of the task thread's loop; false ends the loop.
bool handle(Task& task, const InternalEvent& event, bool& complete) {
    switch (event.kind) {
        case InternalEvent::Kind::StartConnection:
            if (!task.noNewConnections && !task.stopping) startConnection(task);
            return true;
        case InternalEvent::Kind::PreOpenConnection:
            if (!task.noNewConnections && !task.stopping) startConnection(task, true);
            return true;
        case InternalEvent::Kind::Log:
            if (task.params.logProcedure)
                task.params.logProcedure(event.connection, event.time, event.text, event.level, task.id);
            return true;
        case InternalEvent::Kind::User:
            if (task.params.eventProcedure)
                task.params.eventProcedure(event.type, event.connection, event.value, event.extra, task.id);
            return true;
        case InternalEvent::Kind::Finish: {
            // Once per attempt: a connection's finish may come after a stop's.
            if (task.transfersFinished || (event.attempt >= 0 && event.attempt != task.attempt.load())) return true;
            {
                // A connection started after this was posted will post its own.
                std::lock_guard lock(task.connectionLock);
                if (!event.forced && task.active > 0) return true;
            }
            complete = finishTransfers(task);
            if (!complete && task.fileChanged && startOver(task)) return true;
            if (!complete && task.fileChanged) task.failure = static_cast<int>(TaskOutcome::FileChanged);
            task.queue.post(InternalEvent::of(InternalEvent::Kind::Drain));
            return true;
        }
        case InternalEvent::Kind::Drain:
            task.queue.clear();
            task.queue.post(InternalEvent::of(InternalEvent::Kind::EndLoop));
            return true;
        case InternalEvent::Kind::EndLoop:
            return false;
    }
    return true;
}

TaskOutcome outcomeOf(const Task& task, bool complete) {
    if (complete) return TaskOutcome::Complete;
    if (task.stopping) return TaskOutcome::Stopped;
    if (task.failure.load() >= 0) return static_cast<TaskOutcome>(task.failure.load());
    return TaskOutcome::TransferFailed;
}

// Event 4: the bytes really done and how the task ended; for a file that
// was already there, its size.
void reportEnd(Task& task, bool complete) {
    const TaskOutcome outcome = outcomeOf(task, complete);
    const std::int64_t done = outcome == TaskOutcome::AlreadyThere ? task.totalSize.load() : task.storedBytes();
    {
        std::lock_guard lock(task.progressLock);
        task.bytesDone = done;
    }
    {
        std::lock_guard lock(task.slot->lock);
        task.slot->lastLocalPath = task.currentLocalPath();
        task.slot->lastSplicedBytes = task.splicedBytes.load();
    }
    if (task.params.eventProcedure)
        task.params.eventProcedure(event::end, 0, done, static_cast<std::int64_t>(outcome), task.id);
}

// Lets go of the task: its connections, its entry among the live tasks,
// its place in its Download and this thread's hold on it.
void release(std::shared_ptr<Task> task) {
    {
        std::lock_guard lock(task->connectionLock);
        task->connections.clear();
    }
    {
        std::lock_guard lock(engineLock);
        liveTasks.erase(task->id);
    }
    const std::shared_ptr<TaskSlot> slot = task->slot;
    {
        std::lock_guard lock(slot->lock);
        if (slot->task == task) slot->task.reset();
    }
    // Freed (with its TLS context) before the thread counts as ended: who
    // waits for that may go on to end the process, and the TLS library's
    // own clean-up at exit must not meet a context still being freed.
    task.reset();
    std::lock_guard lock(slot->lock);
    --slot->running;
    slot->ended.notify_all();
}

void runTask(std::shared_ptr<Task> task) {
    task->queue.post(InternalEvent::of(InternalEvent::Kind::StartConnection));
    bool complete = false;
    for (bool running = true; running;) {
        if (auto event = task->queue.take(std::chrono::milliseconds(100))) running = handle(*task, *event, complete);
    }
    {
        std::lock_guard lock(task->slot->lock);
        --task->slot->unsettled;
        task->slot->ended.notify_all();
    }
    reportEnd(*task, complete);
    release(std::move(task));
}

}  // namespace

Download::Download() : slot_(std::make_shared<TaskSlot>()) {}

Download::~Download() { stopTask(); }

bool Download::startTask(const TaskParam& params) {
    std::lock_guard lock(slot_->lock);
    if (slot_->task) return false;
    const auto address = parseAddress(params.url);
    if (!address || !isWebScheme(address->scheme)) return false;
    if (params.localPath.empty() || params.localPath.size() > maxLocalPathBytes) return false;
    auto fields = makeRequestFields(*address, params.url, params.proxy, params.referer);
    if (!fields) return false;
    fields->keepAlive = params.connectionPool != nullptr;
    fields->headers = params.headers;

    auto task = std::make_shared<Task>();
    task->params = params;
    task->params.mode |= downloadMode;
    task->settings = params.engine ? *params.engine : engineSettings();
    task->limiter = params.sharedLimiter ? params.sharedLimiter : std::make_shared<RateLimiter>(params.speedLimit);
    task->answer.request = *fields;
    task->localPath = params.localPath;
    task->slot = slot_;
    {
        std::lock_guard engine(engineLock);
        task->id = ++lastTaskId;
        liveTasks[task->id] = task;
    }
    try {
        std::thread(runTask, task).detach();
    } catch (const std::system_error&) {
        std::lock_guard engine(engineLock);
        liveTasks.erase(task->id);
        return false;
    }
    slot_->task = task;
    slot_->lastCause = {};
    ++slot_->running;
    ++slot_->unsettled;
    return true;
}

std::shared_ptr<Task> Download::currentTask() const {
    std::lock_guard lock(slot_->lock);
    return slot_->task;
}

std::int64_t Download::takeBytesSinceLastQuery() {
    const std::shared_ptr<Task> task = currentTask();
    if (!task) return 0;
    std::lock_guard lock(task->progressLock);
    const std::int64_t count = std::max<std::int64_t>(0, task->bytesSinceQuery);
    task->bytesSinceQuery = 0;
    return count;
}

std::int64_t Download::bytesDownloaded() {
    const std::shared_ptr<Task> task = currentTask();
    if (!task) return 0;
    std::lock_guard lock(task->progressLock);
    return std::max<std::int64_t>(0, task->bytesDone);
}

namespace {

void askConnectionsToStop(Task& task) {
    task.noNewConnections = true;
    task.stopping = true;
    std::lock_guard lock(task.connectionLock);
    for (auto& c : task.connections) c->requestStop();
}

}  // namespace

void Download::askToStop() {
    const std::shared_ptr<Task> task = currentTask();
    if (!task) return;
    askConnectionsToStop(*task);
    // With no connection under way none will post the finish; one that
    // starts after this posts its own when it stops.
    task->queue.post(InternalEvent::of(InternalEvent::Kind::Finish, false));
}

void Download::stopTask() {
    const std::shared_ptr<Task> task = currentTask();
    if (!task) return;
    askConnectionsToStop(*task);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(task->params.stopWait);
    for (;;) {
        {
            std::lock_guard lock(task->connectionLock);
            if (task->active == 0) break;
        }
        if (std::chrono::steady_clock::now() >= deadline) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    task->queue.post(InternalEvent::of(InternalEvent::Kind::Finish, true));
    std::lock_guard lock(slot_->lock);
    if (slot_->task == task) slot_->task.reset();
}

bool Download::hasTask() const {
    std::lock_guard lock(slot_->lock);
    return slot_->task != nullptr;
}

bool Download::waitUntilSettled(std::chrono::milliseconds limit) {
    std::unique_lock lock(slot_->lock);
    return slot_->ended.wait_for(lock, limit, [this] { return slot_->unsettled == 0; });
}

bool Download::waitUntilIdle(std::chrono::milliseconds limit) {
    std::unique_lock lock(slot_->lock);
    return slot_->ended.wait_for(lock, limit, [this] { return slot_->running == 0; });
}

std::string Download::lastLocalPath() const {
    std::lock_guard lock(slot_->lock);
    return slot_->lastLocalPath;
}

std::int64_t Download::lastSplicedBytes() const {
    std::lock_guard lock(slot_->lock);
    return slot_->lastSplicedBytes;
}

FailureCause Download::lastCause() const {
    std::lock_guard lock(slot_->lock);
    return slot_->lastCause;
}

bool changeTaskLocalPath(TaskId id, const std::string& localPath) {
    std::shared_ptr<Task> task;
    {
        std::lock_guard lock(engineLock);
        const auto it = liveTasks.find(id);
        if (it != liveTasks.end()) task = it->second.lock();
    }
    if (!task || localPath.empty() || localPath.size() > maxLocalPathBytes) return false;
    std::lock_guard lock(task->pathLock);
    task->localPath = localPath;
    return true;
}

}  // namespace zorvan
