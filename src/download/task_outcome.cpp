#include "download/task_param.h"

namespace zorvan {

const char* outcomeText(TaskOutcome outcome) {
    switch (outcome) {
        case TaskOutcome::Complete: return "下载完成";
        case TaskOutcome::Stopped: return "下载已停止";
        case TaskOutcome::GivenUp: return "已放弃下载（同名文件）";
        case TaskOutcome::NoSize: return "服务器没有给出文件大小";
        case TaskOutcome::CannotCreateFile: return "无法创建文件（路径无效、磁盘不可写或空间不足）";
        case TaskOutcome::Refused: return "服务器拒绝了下载请求";
        case TaskOutcome::TransferFailed: return "传输失败，重试次数已用完";
    }
    return "未知结果";
}

}  // namespace zorvan
