#include "media_files/digest_worker.h"

#include "store/file_sha256.h"
#include "store/known_files.h"
#include "store/library_db.h"

#include <sys/resource.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>

namespace zorvan {

// The worker counts as busy until its first look finds nothing to do.
DigestWorker::DigestWorker(std::string dbPath)
    : dbPath_(std::move(dbPath)), busy_(1), thread_([this](std::stop_token stop) { run(stop); }) {}

DigestWorker::~DigestWorker() {
    thread_.request_stop();
    changed_.notify_all();
}

void DigestWorker::add(const std::string& path) {
    {
        std::lock_guard hold(lock_);
        paths_.push_back(path);
    }
    changed_.notify_all();
}

DigestWorker::Tally DigestWorker::finish() {
    std::unique_lock hold(lock_);
    changed_.wait(hold, [this] { return paths_.empty() && busy_ == 0; });
    return tally_;
}

void DigestWorker::run(std::stop_token stop) {
    // Digests wait for downloads, never the other way round.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 10);
    for (;;) {
        // Ended early: what was taken is kept, what was not is left "not verified".
        if (stop.stop_requested()) {
            writeTaken();
            return;
        }
        std::string path;
        {
            std::unique_lock hold(lock_);
            if (paths_.empty()) {
                hold.unlock();
                writeTaken();  // nothing waits: what was taken goes to the disk now
                hold.lock();
                --busy_;
                changed_.notify_all();
                if (!changed_.wait(hold, stop, [this] { return !paths_.empty(); })) return;
                ++busy_;
            }
            path = std::move(paths_.front());
            paths_.pop_front();
        }
        take(path);
        if (std::chrono::steady_clock::now() - lastWritten_ >= std::chrono::seconds(1)) writeTaken();
    }
}

void DigestWorker::take(const std::string& path) {
    const std::string name = std::filesystem::path(path).filename().string();
    const std::optional<FileStamp> before = stampOf(path);
    const std::optional<std::string> sha = before ? fileSha256(path) : std::nullopt;
    const std::optional<FileStamp> after = stampOf(path);
    std::lock_guard hold(lock_);
    if (!sha || !after || !(*after == *before)) {
        tally_.notes.push_back(name + ": no digest, " + (sha ? "it changed while it was read" : "it cannot be read"));
        return;
    }
    taken_.push_back({libraryPath(path), *before, *sha, std::int64_t{std::time(nullptr)}});
    takenNames_.push_back(name);
}

void DigestWorker::writeTaken() {
    std::vector<FileDigest> digests;
    std::vector<std::string> names;
    {
        std::lock_guard hold(lock_);
        digests.swap(taken_);
        names.swap(takenNames_);
    }
    lastWritten_ = std::chrono::steady_clock::now();
    if (digests.empty()) return;
    std::string why;
    if (!db_) db_ = LibraryDb::open(dbPath_, why);
    if (db_ && !db_->digests().record(digests, why)) db_.reset();  // opened afresh next time
    std::lock_guard hold(lock_);
    if (why.empty()) {
        tally_.taken += static_cast<int>(digests.size());
        for (const FileDigest& d : digests) tally_.bytes += d.stamp.size;
        return;
    }
    for (const std::string& name : names) tally_.notes.push_back(name + ": no digest, " + why);
}

}  // namespace zorvan
