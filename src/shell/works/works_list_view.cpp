#include "shell/works/works_list_view.h"

#include "shell/works/work_rows.h"

#include "shell/program_state.h"

#include "shell/core_texts.h"
#include "shell/gui_thread.h"
#include "shell/notice.h"
#include "shell/library/stay_on_top.h"
#include "shell/windows.h"
#include "shell/windows/main_window.h"
#include "shell/works/work_item.h"
#include "text/code_page.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include <chrono>
#include <thread>

namespace zorvan {

namespace {

QString widgetText(const std::string& codePageText) { return QString::fromStdString(gbkToUtf8(codePageText)); }

// The retrieval's own texts (captions, titles) in the window's language.
QString shownText(const std::string& codePageText) { return coreText(gbkToUtf8(codePageText)); }

// Runs fn with the main window on the GUI thread, in order with the other
// writes; nothing happens once the window is gone.
template <class Fn>
void withMainWindow(Fn fn) {
    postToGui([fn = std::move(fn)] {
        if (MainWindow* window = mainWindow()) fn(*window);
    });
}

}  // namespace

std::string WorksListView::performerId() {
    return callOnGui([] {
        MainWindow* window = mainWindow();
        if (!window) return std::string();
        // The rows remember whose they are, for finding a work again whose
        // address expired.
        const QString id = window->performerIdEdit()->text();
        window->worksList()->setProperty(listedPerformerProperty, id);
        window->worksList()->setProperty(listedServiceProperty,
                                         QString::fromStdString(programStateExists() ? programState().serviceAddress : ""));
        return utf8ToGbk(id.toStdString());
    });
}

void WorksListView::setFetchButton(const std::string& caption, bool enabled) {
    withMainWindow([text = shownText(caption), enabled](MainWindow& window) {
        window.fetchButton()->setText(text);
        window.fetchButton()->setEnabled(enabled);
    });
}

void WorksListView::setTitle(const std::string& title) {
    withMainWindow([text = shownText(title)](MainWindow& window) { window.setWindowTitle(withStayOnTopMarker(text)); });
}

int WorksListView::rowCount() {
    return callOnGui([] {
        MainWindow* window = mainWindow();
        return window ? window->worksList()->topLevelItemCount() : 0;
    });
}

void WorksListView::appendRow(const std::string& text) {
    withMainWindow([text = widgetText(text)](MainWindow& window) {
        auto* item = new WorkItem(window.worksList(), QStringList{text});
        item->setTextAlignment(2, Qt::AlignCenter);
    });
}

void WorksListView::setCell(int row, int column, const std::string& text) {
    withMainWindow([row, column, text = widgetText(text)](MainWindow& window) {
        if (QTreeWidgetItem* item = window.worksList()->topLevelItem(row)) item->setText(column, text);
    });
}

void WorksListView::setWorkId(int row, const std::string& id) {
    withMainWindow([row, id = QString::fromStdString(id)](MainWindow& window) {
        if (QTreeWidgetItem* item = window.worksList()->topLevelItem(row)) item->setData(0, workIdRole, id);
    });
}

void WorksListView::wait(int milliseconds) {
    // The GUI thread keeps running its own loop; this thread has no
    // windows of its own to serve while it waits.
    if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void WorksListView::notice(const std::string& text) { showNoticeText(utf8ToGbk(coreText(gbkToUtf8(text)).toStdString())); }

void WorksListView::progress(Step step, std::size_t at, std::size_t of) {
    // The same title the retrieval has just set, worded in the window's language.
    const QString title = step == Step::Pages
                              ? QCoreApplication::translate("zorvan", "正在获取第%1/%2页").arg(at).arg(of)
                              : QCoreApplication::translate("zorvan", "正在获取数据：%1\\%2").arg(at).arg(of);
    withMainWindow([title](MainWindow& window) { window.setWindowTitle(withStayOnTopMarker(title)); });
}

}  // namespace zorvan
