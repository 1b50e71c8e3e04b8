#include "download/engine_settings.h"

#include <mutex>

namespace zorvan {

namespace {
std::mutex settingsLock;
EngineSettings current;
}  // namespace

void setEngineSettings(const EngineSettings& settings) {
    std::lock_guard lock(settingsLock);
    current = settings;
    if (current.receiveBufferSize < 1024) current.receiveBufferSize = 1024;
    if (current.retryPauseMs < 0) current.retryPauseMs = 0;
    if (current.redirectLimit < 0) current.redirectLimit = 0;
    if (current.checkpointIntervalMs < 10) current.checkpointIntervalMs = 10;
}

EngineSettings engineSettings() {
    std::lock_guard lock(settingsLock);
    return current;
}

}  // namespace zorvan
