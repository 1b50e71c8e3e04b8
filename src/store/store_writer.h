#pragma once

#include "store/library_db.h"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zorvan {

// Writes the queue's changes and the files saved since, on a thread of its
// own, so whoever hands them over (the window's thread) never waits on the
// disk. Changes not yet written are merged (a row's latest version wins);
// files are written in the order given. Owns the database from its making
// on.
class StoreWriter {
public:
    // Called on the writer's thread after each write: what went wrong (empty:
    // nothing) and whether files were recorded.
    using Written = std::function<void(const std::string& error, bool filesRecorded)>;

    StoreWriter(std::unique_ptr<LibraryDb> db, Written written, QueueOwner owner = QueueOwner::Window);
    // Writes what is still waiting, then ends its thread.
    ~StoreWriter();
    StoreWriter(const StoreWriter&) = delete;
    StoreWriter& operator=(const StoreWriter&) = delete;

    void write(QueueChanges queue, std::vector<WorkFile> files);
    // Returns once everything handed over before the call is written.
    void flush();

private:
    void run(std::stop_token stop);

    std::unique_ptr<LibraryDb> db_;
    Written written_;
    QueueOwner owner_;
    std::mutex lock_;
    std::condition_variable_any changed_;
    std::vector<QueueChanges> queue_;  // in the order handed over
    std::vector<WorkFile> files_;
    long handedOver_ = 0;  // writes asked for
    long done_ = 0;        // of them, written
    std::jthread thread_;  // last: it starts once the rest is made
};

}  // namespace zorvan
