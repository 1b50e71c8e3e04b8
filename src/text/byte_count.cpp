#include "text/byte_count.h"

#include <cstdio>

namespace zorvan {

std::string humanBytes(double bytes) {
    const char* units[] = {"B", "KiB", "MiB", "GiB", "TiB"};
    int unit = 0;
    while (bytes >= 1024 && unit < 4) {
        bytes /= 1024;
        ++unit;
    }
    char text[32];
    if (unit == 0)
        std::snprintf(text, sizeof text, "%.0f B", bytes);
    else
        std::snprintf(text, sizeof text, bytes < 10 ? "%.2f %s" : bytes < 100 ? "%.1f %s" : "%.0f %s", bytes, units[unit]);
    return text;
}

}  // namespace zorvan
