#include "cli/queue_run_parts.h"

#include "cli/progress_line.h"
#include "download_policy/failure_report.h"

namespace zorvan::cli {

int itemExitCode(const QueueItem& item) {
    switch (item.state) {
        case ItemState::Done:
        case ItemState::Skipped: return exitCode::done;
        case ItemState::Failed: break;
        default: return exitCode::someFailed;  // never ended
    }
    if (item.failureKind == FailureKind::BadAddress ||
        (item.outcome == TaskOutcome::TransferFailed && item.cause.kind == CauseKind::None))
        return exitCode::usage;
    // Given up by the queue: the task was stopped, its cause says why.
    if (item.failureKind == FailureKind::Stalled || item.failureKind == FailureKind::Unreachable)
        return item.cause.kind == CauseKind::None ? exitCode::unreachable : exitCodeOf(item.cause);
    return downloadVerdict(item.outcome, item.cause).exitCode;
}

std::vector<std::string> runningLines(const std::vector<QueueItem>& items, double& speed) {
    std::vector<std::string> lines;
    speed = 0;
    for (const QueueItem& item : items) {
        if (item.state != ItemState::Running) continue;
        speed += item.speed;
        lines.push_back("  " + progressLine(item.total, item.done, item.speed) + "  " + item.work.title);
    }
    return lines;
}

}  // namespace zorvan::cli
