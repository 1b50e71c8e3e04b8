#pragma once

#include <cstdint>
#include <string>

namespace zorvan {

// What kind of trouble a download's connections met, for a caller that
// must act on it (an exit code, a message in its own language). The log
// says the same in the engine's words.
enum class CauseKind {
    None,
    NameLookup,  // the host's (or proxy's) name did not resolve; detail: the name
    Connect,     // the connection was refused or unreachable; detail: ip:port
    Timeout,     // connecting, the handshake or the data took too long
    Dropped,     // the connection broke or closed early
    HttpStatus,  // the server (or proxy, detail "proxy") answered with `status`
    BadReply,    // the answer was not usable HTTP; detail says how
    Tls,         // the secure connection could not be made; detail: the verdict
    Disk,        // the file could not be made, written or named
};

struct FailureCause {
    CauseKind kind = CauseKind::None;
    int status = 0;       // HttpStatus
    int systemError = 0;  // errno where the system said why (Connect, Dropped, Disk)
    std::string detail;   // ASCII
    // Disk: the file did not fit; what it needed and what was free (-1: not this).
    std::int64_t needed = -1;
    std::int64_t available = -1;
    // NameLookup, Connect: the proxy ("host:port") the connection was for;
    // empty: the server's own.
    std::string proxy{};
};

// The cause behind a negative code of the connection layer (error_text.h).
FailureCause causeOfSocketError(int code);

}  // namespace zorvan
