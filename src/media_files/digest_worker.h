#pragma once

#include "store/digest_store.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zorvan {

class LibraryDb;

// Takes the SHA-256 of each file a download just saved, on a thread of its
// own at a lower priority than the downloads (the bytes are still in the
// page cache), and records it in the library at `dbPath` with the file's
// size and time of change: from then on the library can prove the file is
// as saved. A file that changes while it is read is not recorded. Digests
// are written together, about once a second and whenever nothing waits:
// a transaction per file would cost a catalogue a disk flush per work.
class DigestWorker {
public:
    struct Tally {
        int taken = 0;
        std::int64_t bytes = 0;
        std::vector<std::string> notes;  // "NAME: why" for each whose digest could not be kept
    };

    explicit DigestWorker(std::string dbPath);
    // Files not yet read are left without a digest (said "not verified"
    // later, never wrongly proven).
    ~DigestWorker();
    DigestWorker(const DigestWorker&) = delete;
    DigestWorker& operator=(const DigestWorker&) = delete;

    void add(const std::string& path);
    // Waits for every file added so far, then says how it went.
    Tally finish();

private:
    void run(std::stop_token stop);
    void take(const std::string& path);
    void writeTaken();

    const std::string dbPath_;
    std::mutex lock_;
    std::condition_variable_any changed_;
    std::deque<std::string> paths_;
    int busy_ = 0;
    Tally tally_;
    std::unique_ptr<LibraryDb> db_;  // the worker thread's own
    std::vector<FileDigest> taken_;  // taken and not yet written (worker thread)
    std::vector<std::string> takenNames_;
    std::chrono::steady_clock::time_point lastWritten_ = std::chrono::steady_clock::now();
    std::jthread thread_;  // last: it stops and joins before the rest goes
};

}  // namespace zorvan
