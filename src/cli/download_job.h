#pragma once

#include "download/download.h"
#include "download/task_listener.h"
#include "download/task_param.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace zorvan::cli {

// How the command line runs each download.
struct JobSettings {
    int connections = 5;
    std::int64_t speedLimit = 0;                 // this download alone; 0: none
    std::shared_ptr<RateLimiter> sharedLimiter;  // or one limit for the whole run
    std::string proxy;                           // "host:port"; empty: direct
    int timeoutMs = 0;                           // connecting and silence; 0: the program's
    std::shared_ptr<TlsClient> tls;              // https checks; empty: the system's store, verified
    std::vector<std::string> headers;            // the user's request header lines
    int chunkSize = 0;                           // 0: the tool's default
    // False: a file under the name is checked against the server's: left
    // when it is this file whole, completed when it is its start; else, and
    // when true, the download takes the next free name.
    bool renameOnExists = true;
    bool continuePart = true;                    // take up the part file an earlier run left
    bool strict = false;                         // and only when a validator of the server vouches for it
    // What became of that part file (taken up, or started over and why), UTF-8.
    std::function<void(const std::string&)> partNote;
    // A connection's notes worth telling the user (why it tries again), UTF-8.
    std::function<void(const std::string&)> note;
    // Every engine log line, when wanted (verbose).
    std::function<void(int connection, const std::string& time, const std::string& message, int level)> log;
};

// What the tool says of a part file: "continuing NAME at 38 % (7.50 MiB
// of 19.7 MiB already there; sampled against the server's file, not
// verified)" (`sampled`: no validator of the server vouched for the bytes)
// and "kept 76 % of NAME (15.2 MiB); run the same command to continue".
std::string continuingText(const std::string& name, std::int64_t there, std::int64_t total, bool sampled);
// Why an unfinished download (or a file under its name) was not taken up.
const char* startOverText(StartOverReason reason);
std::string keptText(const std::string& name, std::int64_t kept, std::int64_t total);

// The engine's sizes and counts for every task this run starts (given
// each task with its values, never changed for the process); set once,
// before any.
void setCliEngine(const EngineSettings& settings);

// The engine's values for one download of the command line: the program's
// limits with the tool's connections, speed, proxy and https settings.
TaskParam cliTaskParams(const JobSettings& settings);

// One download through the engine: started, watched and stopped from one
// thread, while the engine reports from its own.
class DownloadJob : private TaskListener {
public:
    DownloadJob(std::string url, std::string localPath, JobSettings settings);
    ~DownloadJob();
    DownloadJob(const DownloadJob&) = delete;
    DownloadJob& operator=(const DownloadJob&) = delete;

    // False when the engine does not take the address or the path.
    bool start();
    // True once the download has ended (waiting at most `limit`).
    bool waitForEnd(std::chrono::milliseconds limit);
    void stop() { download_.stopTask(); }
    // After the end: lets the engine's threads finish.
    void settle() { download_.waitUntilIdle(std::chrono::seconds(30)); }

    std::int64_t total() const { return total_; }  // -1 until known
    std::int64_t received() { return download_.bytesDownloaded(); }
    std::int64_t takeBytesSinceLastQuery() { return download_.takeBytesSinceLastQuery(); }

    // After the end.
    TaskOutcome outcome() const;
    std::int64_t bytesDone() const;
    FailureCause lastCause() const { return download_.lastCause(); }
    // When the name was taken: the size of what held it and the server's
    // size (-1, -1 when it was free).
    std::pair<std::int64_t, std::int64_t> clash() const;
    std::string savedPath() const;       // UTF-8
    // The bytes an earlier run's part file held when this one took it up.
    std::int64_t continuedFrom() const { return continuedFrom_; }
    // The bytes a part file kept for a later run (0: none was kept).
    std::int64_t keptBytes() const;
    // "kept 76 % of name.mp4 (15.2 MiB); run the same command to continue",
    // or empty when nothing was kept.
    std::string keptText() const;
    const std::string& url() const { return url_; }
    const std::string& localPath() const { return localPath_; }

private:
    // What the engine tells (its threads).
    void sizeKnown(std::int64_t total) override { total_ = total; }
    int nameClash(std::int64_t existingSize, std::int64_t total) override;
    void heldBytesChecked(std::int64_t, bool finalFile) override {
        heldFinalFile_ = finalFile;
        heldSampled_ = true;
    }
    void continued(std::int64_t bytesThere, std::int64_t total) override;
    void startedOver(StartOverReason why) override;
    void partKept(std::int64_t bytes, std::int64_t total) override;
    void retrying(int connection, int pauseMs, int triesLeft) override;
    void ended(std::int64_t bytesDone, TaskOutcome outcome) override;
    std::string fileName() const;  // UTF-8

    const std::string url_;
    const std::string localPath_;  // code page 936
    const JobSettings settings_;
    Download download_;
    std::atomic<std::int64_t> total_{-1};
    std::atomic<std::int64_t> continuedFrom_{0};
    bool heldFinalFile_ = false;  // what is taken up is a file under the final name (task thread)
    bool heldSampled_ = false;    // its bytes were sampled, no validator vouching for them (task thread)
    mutable std::mutex lock_;
    std::condition_variable ended_;
    bool hasEnded_ = false;
    TaskOutcome outcome_ = TaskOutcome::TransferFailed;
    std::int64_t bytesDone_ = 0;
    std::int64_t kept_ = 0;
    std::int64_t keptOf_ = 0;
    std::int64_t clashExisting_ = -1;
    std::int64_t clashTotal_ = -1;
};

}  // namespace zorvan::cli
