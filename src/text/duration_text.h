#pragma once

#include <cstdint>
#include <string>

namespace zorvan {

// How long `bytesLeft` take at `bytesPerSecond`, for people: "0:42",
// "12:05", "1:02:33" (rounded up to the second). Empty when it cannot be
// said: nothing moving, nothing known left, or more than 99 hours.
std::string timeLeftText(std::int64_t bytesLeft, double bytesPerSecond);

}  // namespace zorvan
