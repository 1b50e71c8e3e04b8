#pragma once

namespace zorvan {

// SIGTERM, SIGINT and SIGHUP (a logout, a system shutdown, `kill`, Ctrl-C
// in the terminal that started the window) end the program as closing it
// does, without a question: the registered clean-up runs on the GUI thread
// (downloads stopped with their part files kept, the queue saved), and the
// exit code is 128 + the signal's number. Once, at start-up, on the GUI
// thread; a second signal during the end is the end already under way.
void endOnTerminationSignals();

}  // namespace zorvan
