#pragma once

#include "media_store.h"

#include <string>

namespace demo {

struct ServerSettings {
    int port = 18089;          // 0: any free port
    std::string mediaFolder;   // holds clip0.mp4 .. clip2.mp4
    long bytesPerSecond = 0;   // per connection; 0: unlimited
    // Media answers carry a strong ETag and Last-Modified, as real media
    // servers send them, and honour If-Range; off: neither, as generated or
    // proxied media often come.
    bool validators = true;
};

// Serves the works endpoint, the media clips (with ranges) and the player
// path on 127.0.0.1 until the process ends. Prints the address it listens
// on. Returns non-zero when it cannot listen.
int runDemoServer(const ServerSettings& settings);

}  // namespace demo
