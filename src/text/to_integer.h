#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zorvan {

// Reads a decimal integer the way the program reads numbers from texts:
// full-width characters count as their ASCII forms, then optional leading
// white space, an optional sign and the digits up to the first other byte.
// No digits give 0; values beyond 32 bits are clamped.
std::int32_t toInteger(std::string_view text);

// The text with full-width ASCII forms (0xA3 0xA1..0xFE) and the full-width
// space (0xA1 0xA1) made single-byte; other characters stay.
std::string toHalfWidth(std::string_view text);

}  // namespace zorvan
