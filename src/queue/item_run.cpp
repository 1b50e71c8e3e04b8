#include "queue/item_run.h"

#include "text/code_page.h"

namespace zorvan {

ItemRun::ItemRun(const Work& work, TaskParam params, std::function<void()> ended)
    : work_(work), params_(std::move(params)) {
    params_.url = utf8ToGbk(work.address);
    params_.localPath = utf8ToGbk(work.path);
    params_.partFile = true;  // a queued work can always be paused and continued
    // The engine checks a file under the name before completing it.
    params_.completeExisting = work.clash == ClashChoice::Complete;
    params_.splitOnlyWhenWorthIt = work.batch;
    params_.reconnectAtOnceAfterBytes = work.batch;
    // The mailbox, not the run: events may come after the run is gone.
    params_.eventProcedure = [box = mailbox_, clash = work.clash, ended = std::move(ended)](
                                 int type, int connection, std::int64_t value, std::int64_t extra, TaskId) {
        if (type == event::end || type == event::allReceived) {
            {
                std::lock_guard hold(box->lock);
                if (type == event::allReceived) {
                    box->report.received = true;
                } else {
                    box->report.ended = true;
                    box->report.bytesDone = value;
                    box->report.outcome = static_cast<TaskOutcome>(extra);
                }
            }
            if (ended) ended();
            return 0;
        }
        std::lock_guard hold(box->lock);
        Report& r = box->report;
        if (type == event::nameClash) {
            r.clashExisting = value;
            r.clashTotal = extra;
            // Under Complete the engine asks only of a file it could not check.
            return clash == ClashChoice::Skip ? clashAnswer::giveUp : clashAnswer::rename;
        }
        switch (type) {
            case event::size: r.total = value; r.reached = true; break;
            case event::retrying:
                ++r.retries;
                ++r.retrying;
                box->broken.insert(connection);
                break;
            case event::received:
                // Bytes flow again on every connection that broke.
                if (box->broken.erase(connection) != 0 && box->broken.empty()) r.retrying = 0;
                break;
            case event::continued: r.continuedFrom = value; break;
            case event::partKept: r.kept = value; break;
            case event::startedOver: r.startedOver = static_cast<int>(value); break;
            case event::heldChecked: r.checkedBytes = value; break;
            default: break;
        }
        return 0;
    };
    params_.logProcedure = [box = mailbox_](int, const std::string&, const std::string& message, int level, TaskId) {
        if (level != logLevel::error) return;
        std::lock_guard hold(box->lock);
        box->report.lastError = gbkToUtf8(message);
    };
}

ItemRun::~ItemRun() { download_.stopTask(); }

bool ItemRun::start() { return download_.startTask(params_); }

ItemRun::Report ItemRun::report() const {
    std::lock_guard hold(mailbox_->lock);
    return mailbox_->report;
}

std::string ItemRun::savedPath() const { return gbkToUtf8(download_.lastLocalPath()); }

}  // namespace zorvan
