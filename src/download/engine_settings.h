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
};

void setEngineSettings(const EngineSettings& settings);
EngineSettings engineSettings();

}  // namespace zorvan
