#pragma once

#include <cstdint>
#include <string>

namespace zorvan::cli {

// "12.5 MiB / 100 MiB  8.20 MiB/s  12%  0:11 left", for one terminal line.
std::string progressLine(std::int64_t total, std::int64_t done, double bytesPerSecond);

// A byte count for people: "512 B", "1.50 KiB", "12.3 MiB", "1.02 GiB".
std::string humanBytes(double bytes);

}  // namespace zorvan::cli
