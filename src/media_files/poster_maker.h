#pragma once

#include <string>

namespace zorvan {

// How a poster came out.
struct PosterResult {
    bool made = false;
    std::string why;         // when not made: why, for the library's note (English)
    double cpuSeconds = 0;   // the CPU this thread spent on it
};

// The width posters are made at; the height keeps the frame's shape.
inline constexpr int posterWidth = 320;

// A JPEG of a frame a little way into the video (a fifth in, at most 5 s,
// and later still when that frame is nearly black), `width` pixels wide,
// written to `jpegPath` through a temporary file and a rename. Decoded in
// this process with FFmpeg's libraries, on one thread; a file that cannot
// be decoded gives no poster and says why, never a crash.
PosterResult makePoster(const std::string& videoPath, const std::string& jpegPath, int width = posterWidth);

}  // namespace zorvan
