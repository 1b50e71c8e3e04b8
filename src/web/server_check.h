#pragma once

#include <string>

namespace zorvan {

// Whether a server answers at `address`: any HTTP answer counts, a 404
// too; a refused connection, a time-out or no route do not. One byte is
// asked for, so nothing large comes. Stopped with the fetch's stop scope.
bool serverAnswers(const std::string& address);

}  // namespace zorvan
