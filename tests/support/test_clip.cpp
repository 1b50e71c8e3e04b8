#include "support/test_clip.h"

#include <QImage>
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

QImage currentFrame(QVideoSink* sink) { return sink ? sink->videoFrame().toImage() : QImage(); }

}  // namespace zorvan::test
