#include "cli/progress_line.h"

#include <cmath>
#include <cstdio>

namespace zorvan::cli {

std::string progressLine(std::int64_t total, std::int64_t done, double bytesPerSecond) {
    std::string line = humanBytes(static_cast<double>(done));
    line += total >= 0 ? " / " + humanBytes(static_cast<double>(total)) : std::string(" / ?");
    line += "  " + humanBytes(bytesPerSecond) + "/s";
    if (total > 0) {
        const int percent = static_cast<int>(100.0 * static_cast<double>(done) / static_cast<double>(total));
        line += "  " + std::to_string(percent > 100 ? 100 : percent) + "%";
        if (bytesPerSecond > 0 && done < total) {
            // Rounded up: "0:00 left" only once nothing is left.
            const long seconds = static_cast<long>(std::ceil(static_cast<double>(total - done) / bytesPerSecond));
            char eta[32];
            std::snprintf(eta, sizeof eta, "  %ld:%02ld left", seconds / 60, seconds % 60);
            line += eta;
        }
    }
    return line;
}

}  // namespace zorvan::cli
