#include "support/test_clip.h"

#include <QImage>
#include <QObject>
#include <QVideoFrame>
#include <QVideoSink>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace zorvan::test {

const std::string& testClipPath() {
    static const std::string path = [] {
        const std::string file = ::testing::TempDir() + "zorvan_test_clip.mp4";
        if (std::filesystem::exists(file) && std::filesystem::file_size(file) > 0) return file;
        const std::string command = "ffmpeg -loglevel error -y -f lavfi -i testsrc2=size=160x90:rate=25 -t 3 "
                                    "-c:v libx264 -preset veryfast -pix_fmt yuv420p -movflags +faststart '" +
                                    file + ".part.mp4' && mv '" + file + ".part.mp4' '" + file + "'";
        return std::system(command.c_str()) == 0 ? file : std::string();
    }();
    return path;
}

std::string testClipBytes() {
    std::ifstream in(testClipPath(), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

bool isRealPicture(const QImage& picture) {
    if (picture.isNull()) return false;
    const QRgb first = picture.pixel(0, 0);
    for (int y = 0; y < picture.height(); y += 7)
        for (int x = 0; x < picture.width(); x += 7)
            if (picture.pixel(x, y) != first) return true;
    return false;
}

namespace {

// A copy of the last frame a sink announced, delivered to the GUI thread.
// The media stack sets the sink's frame from a thread of its own, so the
// sink itself is not read while that thread may be changing it.
class LastFrame : public QObject {
public:
    static constexpr const char* name = "zorvanLastFrame";
    explicit LastFrame(QVideoSink* sink) : QObject(sink) {
        setObjectName(name);
        connect(sink, &QVideoSink::videoFrameChanged, this, [this](const QVideoFrame& f) { frame = f; },
                Qt::QueuedConnection);
    }
    QVideoFrame frame;
};

}  // namespace

QImage currentFrame(QVideoSink* sink) {
    if (!sink) return {};
    auto* last = static_cast<LastFrame*>(sink->findChild<QObject*>(LastFrame::name, Qt::FindDirectChildrenOnly));
    if (!last) last = new LastFrame(sink);  // frames from now on
    return last->frame.toImage();
}

}  // namespace zorvan::test
