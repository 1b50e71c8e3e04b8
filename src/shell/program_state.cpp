#include "shell/program_state.h"

#include "web/http_client_init.h"

#include <cassert>
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
    // playback texts, the player (host, file hooks), the HTTP client, the
    // state last. The downloads wing ends by its own clean-up routine.
    state->windowScanList.clear();
    state->localPlaybackPath.clear();
    state->localPlaybackName.clear();
    if (state->releasePlayer) state->releasePlayer();
    releaseHttpClient();
    state.reset();
}

}  // namespace zorvan
