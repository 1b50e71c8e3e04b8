#pragma once

#include <string>

class QImage;
class QVideoSink;

namespace zorvan::test {

// A short H.264 clip of a moving test picture (3 s, 160x90), made once per
// test program with ffmpeg in the test temp folder. Empty when it cannot be
// made.
const std::string& testClipPath();
std::string testClipBytes();

// Whether a picture holds more than one colour: a real frame, not a black
// or blank one.
bool isRealPicture(const QImage& picture);
// The last frame the sink announced since it was first asked, as a picture
// (null when none yet): ask while it plays.
QImage currentFrame(QVideoSink* sink);

}  // namespace zorvan::test
