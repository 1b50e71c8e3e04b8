#include "shell/playback/program_player.h"

#include "player/file_hooks.h"
#include "player/flash_host.h"
#include "player/memory_movies.h"
#include "place/program_directory.h"
#include "shell/program_state.h"

#include <memory>

namespace zorvan {

namespace {
std::unique_ptr<FlashHost> host;

void releasePlayer() {
    host.reset();
    removeFileHooks();
    clearMemoryMovies();
}
}  // namespace

void startPlayer() {
    installFileHooks(programFilePath());
    host = std::make_unique<FlashHost>();
    programState().releasePlayer = releasePlayer;
}

FlashHost& programFlashHost() { return *host; }
bool playerStarted() { return host != nullptr; }

}  // namespace zorvan
