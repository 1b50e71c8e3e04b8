#pragma once

#include "download/engine_settings.h"
#include "download/event_queue.h"
#include "download/first_answer.h"
#include "download/failure_cause.h"
#include "download/held_bytes.h"
#include "download/part_record.h"
#include "download/rate_limiter.h"
#include "download/target_file.h"
#include "download/task_file.h"
#include "download/task_param.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace zorvan {

class Connection;
class TlsClient;
struct Task;

// Where a Download holds its task; shared with the task so the task can
// free it at its end even when the Download is gone.
struct TaskSlot {
    std::mutex lock;
    std::shared_ptr<Task> task;
    std::condition_variable ended;  // notified when a task thread has finished
    int running = 0;                // task threads not yet finished
    int unsettled = 0;              // tasks whose file is not yet named, kept or removed
    std::string lastLocalPath;      // where the last task that ended wrote (code page 936)
    FailureCause lastCause;         // the latest trouble the running or last task met
    std::int64_t lastSplicedBytes = 0;  // of the last task that ended: see Download::lastSplicedBytes
};

// Bytes on the disk being taken up: a part file an earlier download left,
// or (completeExisting) a file under the final name. Found by the first
// connection before its first request, which then asks for the missing
// bytes only (from a little earlier, when they must be compared); the
// answer and the comparison decide whether they are continued.
struct Resumption {
    PartRecord record;                 // a file under the final name: its size is -1 until the server names it
    std::unique_ptr<TargetFile> file;  // the part file, open and locked; none for a file under the final name
    HeldFile held;                     // the same bytes, read to compare them with the server's
    bool finalFile = false;            // the bytes are a file under the final name, not a part file of ours
    HeldBytesCheck check;              // compared before a byte is added; empty when If-Range vouches for them
    std::int64_t from = 0;             // the first byte asked for
    std::int64_t until = -1;           // where the bytes missing from there end; -1: the end of the file
    bool accepted = false;             // the server's answer continues it

    std::int64_t heldBytes() const { return record.doneBytes(); }
};

// One running download. Owned jointly by its Download (until detached) and
// by its task thread; connection threads are joined by the task thread
// before anything they use is released.
struct Task {
    TaskId id = 0;
    TaskParam params;
    EngineSettings settings;
    // A busy segment is split only when at least this much of it is left.
    std::int64_t minimumSplit() const { return 2 * static_cast<std::int64_t>(settings.receiveBufferSize); }

    FirstAnswer answer;
    std::shared_ptr<TlsClient> tls;  // made when the first https connection needs it (under answer.lock)

    std::mutex pathLock;
    std::string localPath;     // code page 936; the name-clash procedure may change it

    std::atomic<bool> stopping{false};
    std::atomic<bool> noNewConnections{false};
    std::atomic<std::int64_t> totalSize{-1};  // -1 until the server names it
    std::atomic<bool> sizeReported{false};
    std::shared_ptr<RateLimiter> limiter;  // holds the whole task to params.speedLimit, or shared

    // Attempts at the whole download: a file that changes on the server is
    // fetched again once from the start. Written by the task thread only.
    std::atomic<int> attempt{1};
    bool transfersFinished = false;          // this attempt's end is handled (task thread)
    std::atomic<bool> fileChanged{false};    // an answer showed another version of the file
    std::atomic<bool> wholeBodyDone{false};  // a body without a size arrived to its end
    std::atomic<std::int64_t> bodyBytesStored{0};  // what a body without a size has stored
    std::atomic<std::int64_t> splicedBytes{0};     // stored straight from a socket, inside the kernel

    std::mutex progressLock;
    std::int64_t bytesDone = 0;
    std::int64_t bytesSinceQuery = 0;

    std::mutex connectionLock;
    std::vector<std::shared_ptr<Connection>> connections;
    int active = 0;
    int started = 0;

    // The file and its share-out among the connections.
    TaskFile target;
    // First connection only, until the others start; then the task thread.
    std::unique_ptr<Resumption> resumption;
    // A file under the final name proved not to be this file, or could not
    // be checked: the same-name rule gives the download another name
    // without asking (first connection only).
    bool renameHeldFile = false;

    // Further connections opened while the first request is under way
    // (long round trips), waiting for the segments to be planned.
    enum class Plan { Pending, Ready, None };
    std::atomic<Plan> plan{Plan::Pending};  // None: the first connection ended without one
    std::atomic<int> preOpened{0};           // further connections asked for before the plan
    // The first connection has the segments planned: the connections opened
    // early take them, and `count` further ones start beside those.
    void startFurtherConnections(int count);

    std::atomic<int> failure{-1};  // the first TaskOutcome that explains a failure
    // The longest a successful request took from connecting to the header.
    std::atomic<std::int64_t> longestRequestMicros{0};
    EventQueue queue;
    std::shared_ptr<TaskSlot> slot;

    // A log line for the caller's log procedure (code page 936).
    void log(int connection, int level, const std::string& message);
    // The same, delivered at once: for the task thread itself, whose
    // queue may be drained before it would come to the line.
    void logNow(int connection, int level, const std::string& message);
    // An event for the caller's event procedure, delivered by the task thread.
    void userEvent(int type, int connection, std::int64_t value, std::int64_t extra);
    // The same, delivered at once (task thread).
    void eventNow(int type, std::int64_t value, std::int64_t extra);
    // A part file is not taken up: says why (log and event 21).
    void startedOver(int connection, StartOverReason reason, const std::string& detail = {});
    // The bytes being taken up are not: says why, and a file under the
    // final name is then left alone (first connection).
    void dropResumption(int connection, StartOverReason reason);
    // How this task's file is kept.
    TargetFileOptions fileOptions() const;
    void addProgress(std::int64_t count);
    void noteFailure(TaskOutcome outcome);
    // The trouble a connection met, for Download::lastCause. A disk fault
    // stays: what other connections meet as they are stopped is its echo.
    void noteCause(FailureCause cause);
    // An answer showed that the file changed: this attempt ends at once.
    void noteFileChanged();
    // Bytes in the file: the segments' done counts, or a body without a size.
    std::int64_t storedBytes() const;
    void noteRequestTime(std::chrono::steady_clock::duration took);
    double longestRequestSeconds() const { return static_cast<double>(longestRequestMicros.load()) / 1e6; }
    std::string currentLocalPath();
    // The caller's TLS set-up, else one with the system's trust store;
    // nothing when TLS cannot be set up at all.
    std::shared_ptr<TlsClient> tlsClient();
    // A local path naming a folder gets the file name the server gave, else
    // the last part of the address's path, else "index.html".
    void completeFolderPath();
};

// printf-style formatting of a UTF-8 format with code page 936 arguments;
// the result is code page 936.
std::string gbkFormat(const char* utf8Format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace zorvan
