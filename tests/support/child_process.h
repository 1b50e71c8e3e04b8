#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace zorvan::test {

// Starts a program as a child that dies with the test process, so a test
// that crashes never leaves a server behind. Its standard output goes to
// `stdoutFd` and its standard error to `stderrFd` (-1: /dev/null); it reads
// `stdinFd` (-1: the test's own). Returns the process id, or -1.
pid_t spawnChild(const std::vector<std::string>& argv, int stdoutFd = -1, int stderrFd = -1, int stdinFd = -1);

// Starts a server program that prints one line as it starts listening
// (its address), and returns its process id (-1 when it could not start);
// `firstLine` gets that line, read with a bounded wait.
pid_t spawnListening(const std::vector<std::string>& argv, std::string& firstLine);

// Ends the child (SIGTERM) and waits for it.
void stopChild(pid_t pid);

}  // namespace zorvan::test
