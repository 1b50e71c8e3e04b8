#pragma once

#include <cstdint>
#include <string>

namespace linkproxy {

// What the link does to the bytes that pass it.
struct LinkSettings {
    int listenPort = 0;               // on 127.0.0.1; 0: any free one
    std::string targetHost = "127.0.0.1";
    int targetPort = 0;
    std::int64_t bytesPerSecond = 0;  // per connection, server to client; 0: unlimited
    int roundTripMs = 0;              // added: half of it each way
    // A new connection's first bytes reach the server a round trip later,
    // as TCP's handshake makes them on a real link (the kernel here accepts
    // at once); a client that connects early saves it.
    bool handshake = false;
    std::int64_t resetEvery = 0;      // a connection is reset after this many of the server's bytes; 0: never
    std::int64_t stallEvery = 0;      // ... or stops passing them (and stays open); 0: never
    int outageAfterMs = -1;           // from this long after the start ...
    int outageForMs = 0;              // ... for this long, every connection is reset and new ones too
};

// Serves until the process ends; returns only when it cannot listen.
int runLinkProxy(const LinkSettings& settings);

}  // namespace linkproxy
