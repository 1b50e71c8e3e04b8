#pragma once

#include <string>

namespace zorvan {

// A byte count for people: "512 B", "1.50 KiB", "12.3 MiB", "1.02 GiB".
std::string humanBytes(double bytes);

}  // namespace zorvan
