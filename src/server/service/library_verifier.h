#pragma once

#include "media_files/library_check.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zorvan {

class ServerDownloads;

// What a client asks of a read-through: the files of these performers
// (every file of the download folder when none), and whether the damaged
// ones are fetched again.
struct VerifyRequest {
    std::vector<std::string> performers;
    bool repair = false;
};

// A damaged file that could not be queued again, and why.
struct UnrepairedFile {
    std::string path;  // inside the download folder
    std::string cause;
};

// Where the read-through stands, or how the last one ended.
struct VerifyState {
    bool running = false;
    VerifyRequest request;
    CheckProgress progress;
    std::int64_t started = 0, finished = 0;  // seconds since the epoch; 0: not yet
    // Once finished:
    int ok = 0, damaged = 0, missing = 0, unverified = 0, unknown = 0;
    std::vector<int> repaired;  // queue ids of the damaged works fetched again
    std::vector<UnrepairedFile> unrepaired;
    std::string error;  // why it could not run (the library cannot be read)
};

// The home server's read-through of its library against the digests taken
// when each file was saved, one at a time on a thread of its own, with its
// progress and its end published as events ("verify", "verifyDone"). With
// repair, the damaged files are queued in the server's downloads to be
// fetched again in their places. Every method may be called from any thread.
class LibraryVerifier {
public:
    explicit LibraryVerifier(ServerDownloads& downloads);
    // Stops a read-through that runs.
    ~LibraryVerifier();
    LibraryVerifier(const LibraryVerifier&) = delete;
    LibraryVerifier& operator=(const LibraryVerifier&) = delete;

    // Starts one; why not (nothing started) while another runs or the
    // server stops, else empty.
    std::string start(VerifyRequest request);
    // Asks a running one to stop and waits for it (the server is stopping).
    void stop();
    VerifyState state() const;

private:
    void tellProgress(const CheckProgress& progress);
    void run(const VerifyRequest& request);
    void repair(const std::vector<CheckedFile>& files, const std::string& folder, VerifyState& done);

    ServerDownloads& downloads_;
    mutable std::mutex lock_;
    VerifyState state_;
    std::chrono::steady_clock::time_point lastPublished_{};
    bool closed_ = false;  // the server stops: nothing starts any more
    std::atomic<bool> stop_{false};
    std::thread thread_;  // last: joined before the rest goes
};

// The state as the API gives it: the figures, and "result" once finished.
std::string verifyStateText(const VerifyState& state);

}  // namespace zorvan
