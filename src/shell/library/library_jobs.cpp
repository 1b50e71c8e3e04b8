#include "shell/library/library_jobs.h"

#include "shell/program_end.h"
#include "store/library_db.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace zorvan {

namespace {

using Job = std::function<void(LibraryDb*, const std::string&)>;

// The library's thread and its jobs, in order; each job opens the library
// anew (the folder it lives in may change between them).
class LibraryThread {
public:
    LibraryThread() : thread_([this](std::stop_token stop) { run(stop); }) {}
    ~LibraryThread() {
        {
            std::lock_guard hold(lock_);
            ending_ = true;
        }
        changed_.notify_all();
    }
    void add(Job job) {
        {
            std::lock_guard hold(lock_);
            jobs_.push_back(std::move(job));
        }
        changed_.notify_all();
    }

private:
    void run(std::stop_token) {
        for (;;) {
            Job job;
            {
                std::unique_lock hold(lock_);
                changed_.wait(hold, [this] { return ending_ || !jobs_.empty(); });
                if (jobs_.empty()) return;  // ending, everything handed over done
                job = std::move(jobs_.front());
                jobs_.pop_front();
            }
            std::string error;
            const std::unique_ptr<LibraryDb> db = LibraryDb::open(libraryDbPath(), error);
            job(db.get(), error);
        }
    }

    std::mutex lock_;
    std::condition_variable changed_;
    std::deque<Job> jobs_;
    bool ending_ = false;
    std::jthread thread_;  // last: it starts once the rest is made
};

std::unique_ptr<LibraryThread> libraryThread;

}  // namespace

void onLibraryThread(Job job) {
    if (!libraryThread) {
        libraryThread = std::make_unique<LibraryThread>();
        registerCleanup(releaseLibraryJobs);
    }
    libraryThread->add(std::move(job));
}

void releaseLibraryJobs() { libraryThread.reset(); }

}  // namespace zorvan
