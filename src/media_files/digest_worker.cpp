#include "media_files/digest_worker.h"

#include "store/file_sha256.h"
#include "store/known_files.h"
#include "store/library_db.h"

#include <sys/resource.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>

namespace zorvan {

namespace {

double threadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

}  // namespace

DigestWorker::DigestWorker(std::string dbPath)
    : dbPath_(std::move(dbPath)), thread_([this](std::stop_token stop) { run(stop); }) {}

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
        std::string path;
        {
            std::unique_lock hold(lock_);
            if (!changed_.wait(hold, stop, [this] { return !paths_.empty(); })) return;
            path = std::move(paths_.front());
            paths_.pop_front();
            ++busy_;
        }
        take(path);
        {
            std::lock_guard hold(lock_);
            --busy_;
        }
        changed_.notify_all();
    }
}

void DigestWorker::take(const std::string& path) {
    const std::string name = std::filesystem::path(path).filename().string();
    const double cpu = threadCpuSeconds();
    const std::optional<FileStamp> before = stampOf(path);
    const std::optional<std::string> sha = before ? fileSha256(path) : std::nullopt;
    const std::optional<FileStamp> after = stampOf(path);
    std::string why;
    if (!sha) why = "it cannot be read";
    else if (!after || !(*after == *before)) why = "it changed while it was read";
    // The worker's own connection, kept between files.
    if (why.empty() && !db_) db_ = LibraryDb::open(dbPath_, why);
    if (why.empty() && !db_->digests().record({libraryPath(path), *before, *sha, std::int64_t{std::time(nullptr)}}, why))
        db_.reset();  // opened afresh for the next

    std::lock_guard hold(lock_);
    tally_.cpuSeconds += threadCpuSeconds() - cpu;
    if (!why.empty()) {
        tally_.notes.push_back(name + ": no digest, " + why);
        return;
    }
    ++tally_.taken;
    tally_.bytes += before->size;
}

}  // namespace zorvan
