#include "download_policy/outcome_text.h"

#include <string_view>

namespace zorvan {

const char* outcomeText(TaskOutcome outcome) {
    switch (outcome) {
        case TaskOutcome::Complete: return "下载完成。";
        case TaskOutcome::Stopped: return "下载已停止，文件没有保存。";
        case TaskOutcome::GivenUp: return "已放弃下载：同名文件已存在。";
        case TaskOutcome::AlreadyThere: return "文件已经下载过了：同名文件与服务器上的文件抽样相符（未逐字节核对）。";
        case TaskOutcome::NoSize: return "下载失败：服务器没有给出文件大小，文件没有保存。";
        case TaskOutcome::CannotCreateFile: return "下载失败：无法创建文件（文件名不可用、磁盘不可写或空间不足）。";
        case TaskOutcome::Refused: return "下载失败：服务器拒绝了下载请求，文件没有保存。";
        case TaskOutcome::TransferFailed: return "下载失败：传输多次重试后仍然出错，文件没有保存。";
        case TaskOutcome::FileChanged: return "下载失败：文件在下载过程中被服务器更改，文件没有保存。";
        case TaskOutcome::NotSaved: return "下载失败：文件无法以它的名字保存，文件没有保存。";
        case TaskOutcome::CertificateUntrusted: return "下载失败：服务器的证书不受信任，文件没有保存。";
        case TaskOutcome::CertificateNameMismatch: return "下载失败：服务器的证书不是这个主机名的，文件没有保存。";
        case TaskOutcome::CertificateExpired: return "下载失败：服务器的证书已过期或尚未生效，文件没有保存。";
        case TaskOutcome::TlsHandshakeFailed: return "下载失败：无法与服务器建立安全连接（TLS 握手失败），文件没有保存。";
        case TaskOutcome::TlsClosedMidRecord: return "下载失败：服务器多次在 TLS 记录中途断开连接，文件没有保存。";
    }
    return "下载失败。";
}

namespace {
constexpr std::string_view partKeptNote = "已下载的部分已保留，再次下载时从中断处继续。";
}

std::string outcomeText(TaskOutcome outcome, bool partKept) {
    std::string text = outcomeText(outcome);
    constexpr std::string_view notSaved = "文件没有保存。";
    if (partKept && text.size() >= notSaved.size() && text.ends_with(notSaved))
        text.replace(text.size() - notSaved.size(), notSaved.size(), partKeptNote);
    return text;
}

std::string failureText(const std::string& cause, bool partKept) {
    return "下载失败：" + cause + "。" + (partKept ? std::string(partKeptNote) : std::string());
}

}  // namespace zorvan
