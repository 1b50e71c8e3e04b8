#include "cli/live_display.h"

#include "cli/terminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>

namespace zorvan::cli {

namespace {

int terminalColumns() {
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

// Wide characters of the scripts people name songs in: CJK, Hangul, kana,
// full-width forms, and the emoji planes.
bool wide(char32_t c) {
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
           (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1FAFF) || (c >= 0x20000 && c <= 0x3FFFD);
}

}  // namespace

std::string fitColumns(const std::string& text, int columns) {
    int used = 0;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t c = length == 1 ? lead : lead & (0xFF >> (length + 1));
        for (std::size_t k = 1; k < length && i + k < text.size(); ++k)
            c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        used += wide(c) ? 2 : 1;
        if (used > columns) return text.substr(0, i);
        i += length;
    }
    return text;
}

LiveDisplay::LiveDisplay()
    : live_(progressStyle() == ProgressStyle::Bar), lines_(progressStyle() == ProgressStyle::Line) {}

void LiveDisplay::erase() {
    for (; shown_ > 0; --shown_) std::fputs("\033[1A\033[2K", stderr);
    std::fputs("\r", stderr);
}

void LiveDisplay::draw() {
    // Cut to the width, so no line wraps and each takes exactly one row.
    const int columns = terminalColumns() - 1;
    for (const std::string& line : block_) std::fprintf(stderr, "%s\n", fitColumns(line, columns).c_str());
    shown_ = static_cast<int>(block_.size());
    std::fflush(stderr);
}

void LiveDisplay::print(const std::string& line) {
    // The block is drawn again by the next show only: what it held may
    // have just ended with this line.
    if (live_) clear();
    std::fprintf(stderr, "%s\n", line.c_str());
}

void LiveDisplay::show(const std::vector<std::string>& lines) {
    if (lines_ && !lines.empty() && std::chrono::steady_clock::now() - lastLine_ >= plainLineInterval) {
        lastLine_ = std::chrono::steady_clock::now();
        std::fprintf(stderr, "%s\n", lines.back().c_str());
    }
    if (!live_) return;
    erase();
    block_ = lines;
    draw();
}

void LiveDisplay::clear() {
    if (!live_) return;
    erase();
    block_.clear();
    std::fflush(stderr);
}

}  // namespace zorvan::cli
