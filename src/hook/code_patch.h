#pragma once

#include <cstddef>

namespace zorvan {

// Overwrites bytes of the program's code: the pages are made writable for
// the copy, then given back the protection they had (as /proc/self/maps
// shows it), and the instruction cache is told. False when the protection
// cannot be changed.
bool writeCode(void* at, const void* bytes, std::size_t count);

}  // namespace zorvan
