// wall-bench FOLDER [COUNT]: makes COUNT posters in FOLDER, then scrolls
// through them top to bottom and back, twice: in the window's media wall
// (posters read as they come into sight, off the GUI thread) and in a
// QListWidget that reads every poster on the GUI thread first, the way an
// icon list is usually filled. A 2 ms timer on the GUI thread measures how
// long the thread was away: the longest gap is what a user feels as a
// stutter. Prints one line per wall.
#include "shell/library/media_wall.h"
#include "shell/library/media_wall_model.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QListView>
#include <QListWidget>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

using namespace zorvan;

struct Figures {
    double setupMs = 0;
    double longestGapMs = 0;
    double p99GapMs = 0;
    int gapsOver50 = 0;
};

// Scrolls `bar` down and up in steps of a page's fifth, a step every 16 ms,
// while a 2 ms timer records how late the GUI thread came back to it.
Figures scroll(QScrollBar* bar) {
    std::vector<double> gaps;
    QElapsedTimer clock;
    clock.start();
    qint64 last = clock.nsecsElapsed();
    QTimer beat;
    beat.setTimerType(Qt::PreciseTimer);
    QObject::connect(&beat, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        gaps.push_back(static_cast<double>(now - last) / 1e6);
        last = now;
    });
    beat.start(2);
    const int step = std::max(1, bar->pageStep() / 5);
    for (int pass = 0; pass < 2; ++pass) {
        for (int at = 0; at <= bar->maximum(); at += step) {
            bar->setValue(at);
            QElapsedTimer frame;
            frame.start();
            while (frame.elapsed() < 16) QApplication::processEvents(QEventLoop::AllEvents, 16);
        }
        for (int at = bar->maximum(); at >= 0; at -= step) {
            bar->setValue(at);
            QElapsedTimer frame;
            frame.start();
            while (frame.elapsed() < 16) QApplication::processEvents(QEventLoop::AllEvents, 16);
        }
    }
    beat.stop();
    Figures f;
    if (gaps.empty()) return f;
    std::sort(gaps.begin(), gaps.end());
    f.longestGapMs = gaps.back();
    f.p99GapMs = gaps[gaps.size() * 99 / 100];
    f.gapsOver50 = static_cast<int>(std::count_if(gaps.begin(), gaps.end(), [](double g) { return g > 50; }));
    return f;
}

void print(const char* name, const Figures& f) {
    std::printf("%-44s %9.0f ms %9.1f ms %9.1f ms %8d\n", name, f.setupMs, f.longestGapMs, f.p99GapMs, f.gapsOver50);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: wall-bench FOLDER [COUNT]\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const int count = argc > 2 ? std::atoi(argv[2]) : 1000;
    std::vector<WallEntry> entries;
    for (int n = 1; n <= count; ++n) {
        const QString video = folder + QStringLiteral("/%1 work.mp4").arg(n);
        const QString poster = folder + QStringLiteral("/%1 work-poster.jpg").arg(n);
        QImage picture(320, 180, QImage::Format_RGB32);
        picture.fill(QColor::fromHsv((n * 37) % 360, 160, 220));
        picture.save(poster, "JPG", 85);
        entries.push_back({QStringLiteral("%1 work.mp4").arg(n), video, QStringLiteral("work %1").arg(n),
                           QStringLiteral("100002"), n, n});
    }
    std::printf("%d works, 320x180 posters, scrolled down and up twice at a fifth of a page every 16 ms\n", count);
    std::printf("%-44s %12s %12s %12s %8s\n", "wall", "shown after", "longest gap", "99% under", "> 50 ms");

    {
        MediaWall wall;
        wall.resize(840, 620);
        QElapsedTimer setup;
        setup.start();
        wall.show();
        wall.showEntries(entries);
        QApplication::processEvents();
        const double shown = static_cast<double>(setup.nsecsElapsed()) / 1e6;
        Figures f = scroll(wall.view()->verticalScrollBar());
        f.setupMs = shown;
        print("media wall (posters read as they show)", f);
    }
    {
        QListWidget list;
        list.setViewMode(QListView::IconMode);
        list.setIconSize(QSize(192, 108));
        list.setUniformItemSizes(true);
        list.setResizeMode(QListView::Adjust);
        list.resize(840, 620);
        QElapsedTimer setup;
        setup.start();
        list.show();
        for (const WallEntry& e : entries)
            new QListWidgetItem(QIcon(QPixmap(e.path.chopped(4) + QStringLiteral("-poster.jpg"))), e.song, &list);
        QApplication::processEvents();
        const double shown = static_cast<double>(setup.nsecsElapsed()) / 1e6;
        Figures f = scroll(list.verticalScrollBar());
        f.setupMs = shown;
        print("icon list (every poster read first)", f);
    }
    return 0;
}
