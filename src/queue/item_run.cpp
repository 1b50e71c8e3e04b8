#include "queue/item_run.h"

#include "text/code_page.h"

namespace zorvan {

ItemRun::ItemRun(const Work& work, TaskParam params, std::function<void()> ended)
    : work_(work), params_(std::move(params)), mailbox_(std::make_shared<Mailbox>(work.clash, std::move(ended))) {
    params_.url = utf8ToGbk(work.address);
    params_.localPath = utf8ToGbk(work.path);
    params_.partFile = true;  // a queued work can always be paused and continued
    // The engine checks a file under the name before completing it.
    params_.completeExisting = work.clash == ClashChoice::Complete;
    params_.splitOnlyWhenWorthIt = work.batch;
    params_.reconnectAtOnceAfterBytes = work.batch;
    // The mailbox, not the run: events may come after the run is gone.
    params_.eventProcedure = listenWith(mailbox_);
    params_.logProcedure = [box = mailbox_](int, const std::string&, const std::string& message, int level, TaskId) {
        if (level == logLevel::error) box->noteError(gbkToUtf8(message));
    };
}

ItemRun::~ItemRun() {
    download_.stopTask();
    // Its task's thread has told of the end, then frees the task: who ends
    // the process after the last work must not meet that thread still
    // freeing (the TLS library's clean-up at exit aborts on it). Moments,
    // once the end was told.
    download_.waitUntilIdle(std::chrono::seconds(2));
}

bool ItemRun::start() { return download_.startTask(params_); }

ItemRun::Report ItemRun::report() const { return mailbox_->report(); }

ItemRun::Report ItemRun::Mailbox::report() const {
    std::lock_guard hold(lock_);
    return report_;
}

void ItemRun::Mailbox::noteError(std::string message) {
    std::lock_guard hold(lock_);
    report_.lastError = std::move(message);
}

void ItemRun::Mailbox::sizeKnown(std::int64_t total) {
    std::lock_guard hold(lock_);
    report_.total = total;
    report_.reached = true;
}

int ItemRun::Mailbox::nameClash(std::int64_t existingSize, std::int64_t total) {
    std::lock_guard hold(lock_);
    report_.clashExisting = existingSize;
    report_.clashTotal = total;
    // Under Complete the engine asks only of a file it could not check.
    return clash_ == ClashChoice::Skip ? clashAnswer::giveUp : clashAnswer::rename;
}

void ItemRun::Mailbox::heldBytesChecked(std::int64_t comparedBytes, bool) {
    std::lock_guard hold(lock_);
    report_.checkedBytes = comparedBytes;
}

void ItemRun::Mailbox::continued(std::int64_t bytesThere, std::int64_t) {
    std::lock_guard hold(lock_);
    report_.continuedFrom = bytesThere;
}

void ItemRun::Mailbox::startedOver(StartOverReason why) {
    std::lock_guard hold(lock_);
    report_.startedOver = static_cast<int>(why);
}

void ItemRun::Mailbox::partKept(std::int64_t bytes, std::int64_t) {
    std::lock_guard hold(lock_);
    report_.kept = bytes;
}

void ItemRun::Mailbox::retrying(int connection, int, int) {
    std::lock_guard hold(lock_);
    ++report_.retries;
    ++report_.retrying;
    broken_.insert(connection);
}

void ItemRun::Mailbox::received(int connection, std::int64_t) {
    std::lock_guard hold(lock_);
    // Bytes flow again on every connection that broke.
    if (broken_.erase(connection) != 0 && broken_.empty()) report_.retrying = 0;
}

void ItemRun::Mailbox::allReceived() {
    {
        std::lock_guard hold(lock_);
        report_.received = true;
    }
    if (ended_) ended_();
}

void ItemRun::Mailbox::ended(std::int64_t bytesDone, TaskOutcome outcome) {
    {
        std::lock_guard hold(lock_);
        report_.ended = true;
        report_.bytesDone = bytesDone;
        report_.outcome = outcome;
    }
    if (ended_) ended_();
}

std::string ItemRun::savedPath() const { return gbkToUtf8(download_.lastLocalPath()); }

}  // namespace zorvan
