#include "shell/core_texts.h"

#include <QCoreApplication>

namespace zorvan {

namespace {

// The core's fixed texts, listed here so that they have translations: the
// core itself knows nothing of Qt.
[[maybe_unused]] const char* const coreTexts[] = {
    // The works retrieval.
    QT_TRANSLATE_NOOP("zorvan", "正在连接…"),
    QT_TRANSLATE_NOOP("zorvan", "请稍等"),
    QT_TRANSLATE_NOOP("zorvan", "确定"),
    QT_TRANSLATE_NOOP("zorvan", "获取信息出错！请重试"),
    QT_TRANSLATE_NOOP("zorvan", "没有找到作品"),
    // How a download ended.
    QT_TRANSLATE_NOOP("zorvan", "完毕"),
    QT_TRANSLATE_NOOP("zorvan", "下载完成。"),
    QT_TRANSLATE_NOOP("zorvan", "下载已停止，文件没有保存。"),
    QT_TRANSLATE_NOOP("zorvan", "已放弃下载：同名文件已存在。"),
    QT_TRANSLATE_NOOP("zorvan", "文件已经下载过了：同名文件与服务器上的文件抽样相符（未逐字节核对）。"),
    QT_TRANSLATE_NOOP("zorvan", "下载失败：服务器没有给出文件大小，文件没有保存。"),
    QT_TRANSLATE_NOOP("zorvan", "下载失败：无法创建文件（文件名不可用、磁盘不可写或空间不足）。"),
    QT_TRANSLATE_NOOP("zorvan", "下载失败：服务器拒绝了下载请求，文件没有保存。"),
    QT_TRANSLATE_NOOP("zorvan", "下载失败：传输多次重试后仍然出错，文件没有保存。"),
    QT_TRANSLATE_NOOP("zorvan", "下载失败：文件在下载过程中被服务器更改，文件没有保存。"),
    QT_TRANSLATE_NOOP("zorvan", "下载失败：文件无法以它的名字保存，文件没有保存。"),
    QT_TRANSLATE_NOOP("zorvan", "下载失败：服务器的证书不受信任，文件没有保存。"),
    QT_TRANSLATE_NOOP("zorvan", "下载失败：服务器的证书不是这个主机名的，文件没有保存。"),
    QT_TRANSLATE_NOOP("zorvan", "下载失败：服务器的证书已过期或尚未生效，文件没有保存。"),
    QT_TRANSLATE_NOOP("zorvan", "下载失败：无法与服务器建立安全连接（TLS 握手失败），文件没有保存。"),
    QT_TRANSLATE_NOOP("zorvan", "下载失败：服务器多次在 TLS 记录中途断开连接，文件没有保存。"),
    QT_TRANSLATE_NOOP("zorvan", "下载失败。"),
    // The queue.
    QT_TRANSLATE_NOOP("zorvan", "无法连接服务器，下载已暂停"),
    // The disk's troubles.
    QT_TRANSLATE_NOOP("zorvan", "磁盘空间不足"),
    QT_TRANSLATE_NOOP("zorvan", "文件夹是只读的"),
    QT_TRANSLATE_NOOP("zorvan", "没有写入文件夹的权限"),
    QT_TRANSLATE_NOOP("zorvan", "文件夹不存在"),
};

}  // namespace

QString coreText(const std::string& utf8) { return QCoreApplication::translate("zorvan", utf8.c_str()); }

}  // namespace zorvan
