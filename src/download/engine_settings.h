#pragma once

#include <cstddef>

namespace zorvan {

// Sizes and counts that hold for every task. A task copies them when it
// starts, so a change applies to tasks started afterwards. The GUI keeps
// the start values; tests shorten the pauses, the command-line tool may
// use larger buffers.
struct EngineSettings {
    std::size_t receiveBufferSize = 20480;  // per connection
    int retryPauseMs = 5000;
    int retriesPerConnection = 999;
    int redirectLimit = 20;                 // a redirection loop ends after this many steps
    // Connections copy their bytes into one shared writable mapping of the
    // file. Off, they write through the file descriptor instead: measured
    // on 1 GiB downloads that is steadier (a mapping's first-touch faults
    // cost up to twice the time after another large file was deleted) and
    // keeps the file's pages out of the process's resident size.
    bool mappedWrites = true;
};

void setEngineSettings(const EngineSettings& settings);
EngineSettings engineSettings();

}  // namespace zorvan
