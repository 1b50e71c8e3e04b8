#pragma once

#include "server/server_options.h"

namespace zorvan {

// Serves until SIGTERM or SIGINT; the exit code (0 after a clean stop, 2
// when the options or the data folder cannot be used, 3 when the address
// cannot be listened on).
int runServer(const ServerOptions& options);
// Reads a password from standard input and keeps its hash; the exit code.
int setServerPassword(const ServerOptions& options);
// Prints the loopback link with the access token; the exit code.
int printServerLink(const ServerOptions& options);

}  // namespace zorvan
