#include "shell/gui_thread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include <atomic>
#include <thread>

namespace zorvan {

namespace {
std::atomic<std::thread::id> guiThreadId{};
}

void markGuiThread() { guiThreadId = std::this_thread::get_id(); }

bool isGuiThread() { return std::this_thread::get_id() == guiThreadId.load(); }

void postToGui(std::function<void()> fn) {
    if (isGuiThread()) {
        fn();
        return;
    }
    if (auto* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, std::move(fn), Qt::QueuedConnection);
}

void runOnGuiAndWait(const std::function<void()>& fn) {
    auto* app = QCoreApplication::instance();
    if (isGuiThread() || !app) {
        // Without an application there is no GUI thread to wait for.
        fn();
        return;
    }
    QMetaObject::invokeMethod(app, fn, Qt::BlockingQueuedConnection);
}

}  // namespace zorvan
