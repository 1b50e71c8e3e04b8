#include "shell/notice.h"

#include "shell/gui_thread.h"
#include "shell/message_box.h"
#include "text/code_page.h"

#include <QCoreApplication>
#include <QApplication>
#include <QWidget>

#include <unistd.h>

namespace zorvan {

namespace {

// Popups and tool tips are not windows that can own a box.
bool isOwnerKind(const QWidget* widget) {
    const Qt::WindowType type = widget->windowType();
    return type == Qt::Window || type == Qt::Dialog;
}

}  // namespace

std::int64_t currentProcessId() { return static_cast<std::int64_t>(getpid()); }

std::vector<WindowScanRecord> scanWindows() {
    auto& list = programState().windowScanList;
    // The active window is the top of the stacking order; the rest follow
    // in the order the toolkit knows them.
    QWidget* active = QApplication::activeWindow();
    if (active && isOwnerKind(active)) list.push_back({active, currentProcessId()});
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget != active && isOwnerKind(widget)) list.push_back({widget, currentProcessId()});
    std::vector<WindowScanRecord> result = list;
    list.clear();
    return result;
}

QWidget* findProcessWindow(std::int64_t processId) {
    for (const WindowScanRecord& record : scanWindows())
        if (record.processId == processId && record.window->isVisible()) return record.window;
    return nullptr;
}

int showNotice(const QString& text) {
    MessageBoxRequest box;
    box.text = text;
    box.caption = QCoreApplication::translate("zorvan", "友情提醒");
    box.icon = BoxIcon::Information;
    box.buttons = BoxButtons::Ok;
    // The owner is looked up on the GUI thread, where the windows live.
    box.owner = callOnGui([] { return findProcessWindow(currentProcessId()); });
    return showMessageBox(box) - 1;
}

int showNoticeText(const std::string& codePageText) {
    return showNotice(QString::fromStdString(gbkToUtf8(codePageText)));
}

}  // namespace zorvan
