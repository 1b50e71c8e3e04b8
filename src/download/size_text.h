#pragma once

#include <cstdint>
#include <string>

namespace zorvan {

// A byte count in MiB as the download window shows it: two decimals, halves
// rounded away from zero, written with "%.13g" (3.5 MiB -> "3.5", 12 -> "12").
std::string sizeText(std::int64_t bytes);

}  // namespace zorvan
