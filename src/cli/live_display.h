#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace zorvan::cli {

// Standard error as a live view: on a terminal, a block of lines redrawn in
// place under the lasting lines; in line style the block's last line (the
// summary) every plainLineInterval, so logs stay plain; with no progress only the
// lasting lines.
class LiveDisplay {
public:
    LiveDisplay();
    ~LiveDisplay() { clear(); }
    LiveDisplay(const LiveDisplay&) = delete;
    LiveDisplay& operator=(const LiveDisplay&) = delete;

    // A line that stays, printed above the live block.
    void print(const std::string& line);
    // Replaces the live block (ignored when not on a terminal).
    void show(const std::vector<std::string>& lines);
    void clear();

private:
    void erase();
    void draw();

    bool live_;
    bool lines_;
    // The first plain line comes one interval in: a short run needs none.
    std::chrono::steady_clock::time_point lastLine_ = std::chrono::steady_clock::now();
    std::vector<std::string> block_;
    int shown_ = 0;  // lines of the block on the screen now
};

// The text cut to fit `columns` terminal columns (East Asian characters
// take two), never inside a character.
std::string fitColumns(const std::string& text, int columns);

}  // namespace zorvan::cli
