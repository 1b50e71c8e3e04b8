#pragma once

#include <string>

namespace zorvan {

// The status a server answers at `address` with, one byte asked for so
// nothing large comes; 0 when no HTTP answer came (refused, timed out, no
// route). Stopped with the fetch's stop scope.
int answerStatus(const std::string& address);

// Whether a server answers at all: any status counts, a 404 too.
inline bool serverAnswers(const std::string& address) { return answerStatus(address) > 0; }

}  // namespace zorvan
