// A loopback stand-in for the video service: the works endpoint with its
// paging, playable media clips with byte ranges, and the player path.
#include "demo_server.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
    demo::ServerSettings settings;
    settings.mediaFolder = "demo-media";
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "demo-service: %s needs a value\n", arg.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        if (arg == "--port")
            settings.port = std::atoi(value());
        else if (arg == "--media")
            settings.mediaFolder = value();
        else if (arg == "--rate")
            settings.bytesPerSecond = std::atol(value());
        else if (arg == "--no-validators")
            settings.validators = false;
        else {
            std::fprintf(stderr,
                         "usage: demo-service [--port N] [--media DIR] [--rate BYTES_PER_S] [--no-validators]\n"
                         "  --port           port on 127.0.0.1 (default 18089, 0 for any free one)\n"
                         "  --media          folder holding clip0.mp4 .. clip2.mp4 (default demo-media)\n"
                         "  --rate           per-connection limit for media (default unlimited)\n"
                         "  --no-validators  media without ETag and Last-Modified (If-Range then ignored)\n");
            return 2;
        }
    }
    return demo::runDemoServer(settings);
}
