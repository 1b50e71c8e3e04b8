#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QWidget;

namespace zorvan {

// One entry per top-level window seen by scanWindows.
struct WindowScanRecord {
    QWidget* window = nullptr;
    std::int64_t processId = 0;
};

// Everything that lives from start-up to the clean-up. Created once, owned
// here, released by cleanup() in a fixed order.
struct ProgramState {
    std::vector<WindowScanRecord> windowScanList;  // empty except during a scan

    // The file chosen for local playback and its bare name.
    std::string localPlaybackPath;
    std::string localPlaybackName;

    // Releases the player's state (the media host, the file hooks and the
    // memory movies); set by the player's start-up step.
    std::function<void()> releasePlayer;

    // The video service's web host, e.g. "http://127.0.0.1:18089".
    std::string serviceAddress;
    // What --service or ZORVAN_SERVICE gave at start (empty: neither), which
    // the address chosen in the settings does not replace.
    std::string givenServiceAddress;

    // Downloads are not here: the downloads wing owns its queue
    // (shell/downloads/download_manager.h).
};

void createProgramState(std::string serviceAddress);
bool programStateExists();
ProgramState& programState();  // only between createProgramState and cleanup

// Releases the program-wide state in its fixed order. Registered with
// registerCleanup at start-up; runs once, on the GUI thread.
void cleanup();

}  // namespace zorvan
