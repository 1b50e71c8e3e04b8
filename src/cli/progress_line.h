#pragma once

#include "text/byte_count.h"

#include <cstdint>
#include <string>

namespace zorvan::cli {

// "12.5 MiB / 100 MiB  8.20 MiB/s  12%  0:11 left", for one terminal line.
std::string progressLine(std::int64_t total, std::int64_t done, double bytesPerSecond);

using zorvan::humanBytes;

}  // namespace zorvan::cli
