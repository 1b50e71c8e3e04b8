// Ten thousand queued works: the window stays responsive while works run,
// and while one is paused and another cancelled from the downloads view. A
// timer on the GUI thread measures the longest time it was held up.
#include "download_policy/download_folder.h"
#include "shell/downloads/download_manager.h"
#include "shell/downloads/downloads_view.h"
#include "support/box_answerer.h"
#include "support/download_runner.h"
#include "support/loopback_server.h"
#include "support/nginx_server.h"
#include "support/program_fixture.h"
#include "support/queue_rows.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

namespace zorvan {
namespace {

using namespace test;

class BigQueueTest : public ProgramTest {};

// The longest gap between the ticks of a 2 ms timer while `work` runs and
// the event loop turns for `settleMs` more.
template <class Work>
qint64 longestGap(Work work, int settleMs) {
    QElapsedTimer clock;
    qint64 last = 0, longest = 0;
    QTimer timer;
    timer.setInterval(2);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    clock.start();
    timer.start();
    work();
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < settleMs) QApplication::processEvents(QEventLoop::AllEvents, 5);
    return longest;
}

TEST_F(BigQueueTest, TenThousandQueuedWorksLeaveTheWindowResponsiveWhilePausingAndCancelling) {
    // Slow works: two run for the whole test while the rest wait.
    LoopbackServer server(fileScript(patternBytes(2000000), [](ScriptedReply& reply, const HttpRequest&, std::int64_t) {
        reply.bytesPerSecond = 50000;
    }));
    std::vector<Work> works;
    for (int i = 0; i < 10000; ++i) {
        const std::string name = "work" + std::to_string(i);
        works.push_back({name, server.url("/" + name + ".mp4"), downloadFolder() + "/" + name + ".mp4"});
        works.back().batch = true;
    }
    QElapsedTimer opening;
    opening.start();
    showDownloadsView();
    QApplication::processEvents();  // laid out and drawn
    const qint64 openMs = opening.elapsed();
    DownloadsView* view = downloadsView();
    ASSERT_NE(view, nullptr);
    // The works are queued on the service's thread; their rows come in
    // without holding up the window.
    const qint64 adding = longestGap([&] { downloadManager().enqueue(works); }, 1500);
    ASSERT_TRUE(waitUntil([] { return queueRowCount() == 10000; }, 10000)) << queueRowCount();
    ASSERT_TRUE(waitUntil([] { return downloadManager().queue().totals().running == 2; }, 10000));

    const qint64 running = longestGap([] {}, 1500);
    const qint64 pausing = longestGap(
        [&] {
            view->list()->clearSelection();
            queueRowAt(0)->setSelected(true);
            view->button("暂停")->click();
        },
        1000);
    EXPECT_TRUE(waitUntil([] { return downloadManager().queue().items().front().state == ItemState::Paused; }, 5000));
    qint64 cancelling = 0;
    {
        BoxAnswerer yes(QMessageBox::Yes);
        cancelling = longestGap(
            [&] {
                view->list()->clearSelection();
                queueRowAt(1)->setSelected(true);
                view->button("取消")->click();
            },
            1000);
    }
    EXPECT_TRUE(waitUntil([] { return downloadManager().queue().items().size() == 9999u; }, 5000));
    std::printf("with 10,000 queued: the view opened in %lld ms; longest gap on the GUI thread: adding %lld ms, "
                "running %lld ms, pausing %lld ms, cancelling %lld ms\n",
                static_cast<long long>(openMs), static_cast<long long>(adding), static_cast<long long>(running),
                static_cast<long long>(pausing),
                static_cast<long long>(cancelling));
    EXPECT_LT(openMs, 1000);
    EXPECT_LT(adding, 100);
    EXPECT_LT(running, 50);
    EXPECT_LT(pausing, 50);
    EXPECT_LT(cancelling, 50);

    // All of them chosen and cancelled: one question, and nothing is left,
    // in the queue or the folder.
    int asked = 0;
    QString question;
    QElapsedTimer took;
    {
        BoxAnswerer yes(QMessageBox::Yes, [&](const SeenBox& box) {
            ++asked;
            question = box.text;
        });
        view->list()->selectAll();
        took.start();
        view->button("取消")->click();
    }
    const qint64 cancelAll = took.elapsed();
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(question, "取消 9999 个下载吗？已下载的部分将被删除。");
    ASSERT_TRUE(waitUntil([] { return downloadManager().queue().items().empty(); }, 10000));
    ASSERT_TRUE(waitUntil([] { return queueRowCount() == 0; }, 2000));
    EXPECT_TRUE(filesIn(downloadFolder()).empty()) << "no part file is left";
    std::printf("cancelling 9,999 chosen works after one question took %lld ms\n", static_cast<long long>(cancelAll));
}

}  // namespace
}  // namespace zorvan
