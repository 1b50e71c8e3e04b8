#pragma once

#include "download/failure_cause.h"
#include "download/task_param.h"

#include <string>

namespace zorvan {

// A file under the name that the engine found to be this file by sampling
// its bytes against the server's: never proven, so never called checked.
inline constexpr const char* alreadyThereSampled = "already there (not verified: compared in part with the server's file)";

// What the command line's exit code says, by cause, for scripts.
namespace exitCode {
inline constexpr int done = 0;
inline constexpr int someFailed = 1;   // get-all: some works failed
inline constexpr int usage = 2;
inline constexpr int unreachable = 3;  // the host: its name, the connection, a time-out
inline constexpr int tls = 4;
inline constexpr int refused = 5;      // the server said no (4xx, 5xx) or sent what cannot be used
inline constexpr int localFile = 6;    // the file: disk full, permission, name
}  // namespace exitCode

// "404 Not Found"; the number alone for a status without a known phrase.
std::string statusText(int status);

// The system's reason for an errno value, as a phrase ("connection refused").
std::string systemText(int error);

// The cause in words: "connection refused (127.0.0.1:1)", "the server
// answered 404 Not Found", "cannot resolve host example.invalid", ...
std::string causeText(const FailureCause& cause);

// The exit code a cause stands for.
int exitCodeOf(const FailureCause& cause);

// How a download that neither completed nor was stopped ended: the
// English text with its cause, and the exit code.
struct Verdict {
    std::string text;
    int exitCode = exitCode::unreachable;
};
Verdict downloadVerdict(TaskOutcome outcome, const FailureCause& cause);

}  // namespace zorvan
