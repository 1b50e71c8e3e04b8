#include "queue/failure_text.h"

#include "download/disk_space.h"
#include "download_policy/outcome_text.h"

#include <string_view>

namespace zorvan {

namespace {

// An engine outcome without the sentence around it.
std::string outcomeCause(TaskOutcome outcome) {
    std::string text = outcomeText(outcome);
    for (const std::string_view lead : {"下载失败：", "下载已停止，"})
        if (text.rfind(lead, 0) == 0) text.erase(0, lead.size());
    for (const std::string_view tail : {"，文件没有保存。", "文件没有保存。", "。"}) {
        if (text.ends_with(tail)) {
            text.erase(text.end() - static_cast<std::ptrdiff_t>(tail.size()), text.end());
            break;
        }
    }
    return text;
}

std::string bracketed(const std::string& text) { return text.empty() ? std::string() : "（" + text + "）"; }

}  // namespace

std::string failureCause(const QueueItem& item) {
    if (const std::string disk = diskTroubleText(item.cause); !disk.empty()) return disk;
    switch (item.failureKind) {
        case FailureKind::Unreachable: return "无法连接服务器" + bracketed(item.lastError);
        case FailureKind::Stalled: return std::to_string(item.stalledSeconds) + " 秒没有收到数据";
        case FailureKind::BadAddress: return "地址无效或不受支持";
        default: return outcomeCause(item.outcome) + bracketed(item.lastError);
    }
}

std::string queuePauseText(const FailureCause& diskCause) {
    if (const std::string disk = diskTroubleText(diskCause); !disk.empty()) return disk;
    return "无法连接服务器，下载已暂停";
}

}  // namespace zorvan
