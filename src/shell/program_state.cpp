#include "shell/program_state.h"

#include "web/http_client_init.h"

#include <cassert>
#include <chrono>
#include <memory>

namespace zorvan {

namespace {
std::unique_ptr<ProgramState> state;
}

void createProgramState(std::string serviceAddress) {
    state = std::make_unique<ProgramState>();
    state->serviceAddress = std::move(serviceAddress);
}

bool programStateExists() { return state != nullptr; }

ProgramState& programState() {
    assert(state && "program state used outside its lifetime");
    return *state;
}

void cleanup() {
    if (!state) return;
    // The order matters to the parts that hold on to each other: scan list,
    // playback texts, the player (host, file hooks), download texts, the
    // HTTP client, the engine's record, then the download itself (stopped
    // first), the state last.
    state->windowScanList.clear();
    state->localPlaybackPath.clear();
    state->localPlaybackName.clear();
    if (state->releasePlayer) state->releasePlayer();
    state->currentFilePath.clear();
    state->currentMediaUrl.clear();
    state->currentSongName.clear();
    releaseHttpClient();
    state->taskFilePath.clear();
    state->taskParams = TaskParam{};
    if (state->downloadTask) {
        state->downloadTask->stopTask();
        // What has arrived stays in the part file, with its record, to be
        // continued at the next start.
        state->downloadTask->waitUntilSettled(std::chrono::seconds(5));
    }
    state->downloadTask.reset();
    state.reset();
}

}  // namespace zorvan
