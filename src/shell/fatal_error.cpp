#include "shell/fatal_error.h"

#include "shell/message_box.h"
#include "shell/program_end.h"

#include <QCoreApplication>

#include <cstdio>

namespace zorvan {

std::string fatalErrorText(std::optional<long long> code, std::optional<std::string> message) {
    std::string text = "运行时出错!\n\n";
    if (code) text += "错误代码：" + std::to_string(*code) + "\n\n";
    if (message) text += "错误信息：" + *message + "\n";
    return text;
}

void fatalError(std::optional<long long> code, std::optional<std::string> message) {
    const std::string text = fatalErrorText(code, std::move(message));
    startFailing();
    std::fputs(text.c_str(), stderr);
    if (QCoreApplication::instance()) {
        MessageBoxRequest box;
        box.text = QString::fromStdString(text);
        box.caption = QStringLiteral("Zorvan");
        box.icon = BoxIcon::Critical;
        showMessageBox(box);
    }
    endProcessAfterFailure();
}

void outOfMemory(std::size_t bytes) { fatalError(std::nullopt, "分配 " + std::to_string(bytes) + " 字节内存失败!"); }

}  // namespace zorvan
