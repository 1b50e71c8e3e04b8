#include "text/duration_text.h"

#include <cmath>
#include <cstdio>

namespace zorvan {

std::string timeLeftText(std::int64_t bytesLeft, double bytesPerSecond) {
    if (bytesLeft < 0 || !(bytesPerSecond > 0)) return {};
    const double seconds = std::ceil(static_cast<double>(bytesLeft) / bytesPerSecond);
    if (seconds > 99.0 * 3600) return {};
    const auto whole = static_cast<long>(seconds);
    char text[48];
    if (whole >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60, whole % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

}  // namespace zorvan
