#pragma once

namespace tools {

// A listening socket on 127.0.0.1:`port` (0: any free port), announced on
// standard output as "<who> listening on <scheme>127.0.0.1:<port>" so a
// test can read where it is. -1, with the reason on standard error, when
// it cannot listen.
int listenOnLoopback(int port, const char* who, const char* scheme);

}  // namespace tools
