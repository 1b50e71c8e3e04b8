// A loopback link with the faults of a real one: a per-connection rate,
// added latency, resets or stalls every N bytes, a full outage for a while.
#include "link_proxy.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    linkproxy::LinkSettings s;
    const char* usage =
        "usage: link-proxy --to [HOST:]PORT [--port N] [--rate BYTES_PER_S] [--rtt MS] [--handshake]\n"
        "                  [--reset-every BYTES] [--stall-every BYTES] [--outage-after MS --outage-for MS]\n"
        "  --to            the server (host 127.0.0.1 unless given)\n"
        "  --port          port on 127.0.0.1 to listen on (default: any free one; printed)\n"
        "  --rate          per-connection limit of the server's bytes\n"
        "  --rtt           round-trip time added (half each way)\n"
        "  --handshake     a new connection's first bytes reach the server a round trip\n"
        "                  later, as TCP's handshake makes them\n"
        "  --reset-every   reset each connection after this many of the server's bytes\n"
        "  --stall-every   stop passing a connection's bytes after this many (it stays open)\n"
        "  --outage-after  a full outage this long after the start, lasting --outage-for\n";
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--handshake") {
            s.handshake = true;
            continue;
        }
        if (i + 1 >= argc) {
            std::fputs(usage, stderr);
            return 2;
        }
        const std::string value = argv[++i];
        const long long number = std::atoll(value.c_str());
        if (arg == "--to") {
            const auto colon = value.rfind(':');
            if (colon != std::string::npos) s.targetHost = value.substr(0, colon);
            s.targetPort = std::atoi(value.c_str() + (colon == std::string::npos ? 0 : colon + 1));
        } else if (arg == "--port") {
            s.listenPort = static_cast<int>(number);
        } else if (arg == "--rate") {
            s.bytesPerSecond = number;
        } else if (arg == "--rtt") {
            s.roundTripMs = static_cast<int>(number);
        } else if (arg == "--reset-every") {
            s.resetEvery = number;
        } else if (arg == "--stall-every") {
            s.stallEvery = number;
        } else if (arg == "--outage-after") {
            s.outageAfterMs = static_cast<int>(number);
        } else if (arg == "--outage-for") {
            s.outageForMs = static_cast<int>(number);
        } else {
            std::fputs(usage, stderr);
            return 2;
        }
    }
    if (s.targetPort <= 0) {
        std::fputs(usage, stderr);
        return 2;
    }
    return linkproxy::runLinkProxy(s);
}
