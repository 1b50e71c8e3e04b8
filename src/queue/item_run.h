#pragma once

#include "download/download.h"
#include "download/task_listener.h"
#include "download/task_param.h"
#include "queue/queue_item.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>

namespace zorvan {

// One run of a queued work through the engine. Started, read and stopped
// from the queue's thread; the engine reports on its own threads into a
// mailbox, and never waits for the queue: the name clash is answered from
// the work's choice at once.
class ItemRun {
public:
    // What the engine has said so far.
    struct Report {
        bool ended = false;
        TaskOutcome outcome = TaskOutcome::TransferFailed;
        std::int64_t bytesDone = 0;       // with event 4
        std::int64_t total = -1;
        bool reached = false;             // the server answered: the size is known
        bool received = false;            // every byte is in; the file is being brought to the disk
        int retries = 0;                  // how often connections tried again
        int retrying = 0;                 // tries since every broken connection last received bytes
        std::int64_t continuedFrom = 0;   // a part file's share taken up
        std::int64_t kept = 0;            // a part file's share kept at the end
        int startedOver = 0;              // why a part file was not taken up (StartOverReason); 0: it was, or none
        std::int64_t checkedBytes = 0;    // fetched again to compare the bytes on the disk with the server's
        std::string lastError;            // UTF-8
        std::int64_t clashExisting = -1;  // the size of what held the name, when it was taken
        std::int64_t clashTotal = -1;     // and the server's size then
    };

    // `params` holds the program's values (connections, time limits); the
    // address, the path and the procedures are set here. `ended` is called
    // on the engine's thread once every byte is in and once the end is in
    // the report, so whoever owns the queue can act at once; it must stay
    // callable after the run is gone.
    ItemRun(const Work& work, TaskParam params, std::function<void()> ended = {});
    ~ItemRun();
    ItemRun(const ItemRun&) = delete;
    ItemRun& operator=(const ItemRun&) = delete;

    bool start();
    // Stops the run; its part file is kept. The end comes on a later tick.
    void stop() { download_.askToStop(); }
    Report report() const;
    std::int64_t bytesDone() { return download_.bytesDownloaded(); }
    std::int64_t takeBytesSinceLastQuery() { return download_.takeBytesSinceLastQuery(); }
    // After the end: where the file went (another name after a clash), UTF-8.
    std::string savedPath() const;
    FailureCause lastCause() const { return download_.lastCause(); }
    // The address as the engine was given it (a part file's record names it).
    const std::string& engineAddress() const { return params_.url; }
    // Waits until the run has ended and told its end.
    bool waitUntilEnded(std::chrono::milliseconds limit) { return download_.waitUntilIdle(limit); }

private:
    // What the engine tells, kept for the queue's next look.
    class Mailbox : public TaskListener {
    public:
        Mailbox(ClashChoice clash, std::function<void()> ended) : clash_(clash), ended_(std::move(ended)) {}
        Report report() const;
        void noteError(std::string message);

        void sizeKnown(std::int64_t total) override;
        int nameClash(std::int64_t existingSize, std::int64_t total) override;
        void heldBytesChecked(std::int64_t comparedBytes, bool finalFile) override;
        void continued(std::int64_t bytesThere, std::int64_t total) override;
        void startedOver(StartOverReason why) override;
        void partKept(std::int64_t bytes, std::int64_t total) override;
        void retrying(int connection, int pauseMs, int triesLeft) override;
        void received(int connection, std::int64_t bytes) override;
        void allReceived() override;
        void ended(std::int64_t bytesDone, TaskOutcome outcome) override;

    private:
        const ClashChoice clash_;
        const std::function<void()> ended_;
        mutable std::mutex lock_;
        Report report_;
        std::set<int> broken_;  // connections trying again that have not received since
    };

    const Work work_;
    TaskParam params_;
    std::shared_ptr<Mailbox> mailbox_;
    Download download_;
};

}  // namespace zorvan
