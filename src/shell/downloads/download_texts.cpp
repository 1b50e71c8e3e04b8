#include "shell/downloads/download_texts.h"

#include "download_policy/outcome_text.h"

#include <cmath>
#include <cstdio>

namespace zorvan {

std::string sizeText(std::int64_t bytes) {
    const double mib = static_cast<double>(bytes) / 1048576.0;
    const double scaled = std::fabs(mib) * 100.0 + 1e-12;
    double whole = std::floor(scaled);
    if (scaled - whole >= 0.5) whole += 1;
    const double rounded = std::copysign(whole / 100.0, mib);
    char text[64];
    std::snprintf(text, sizeof text, "%.13g", rounded == 0 ? 0.0 : rounded);
    return text;
}

std::string endMessage(TaskOutcome outcome, bool partKept) {
    if (outcome == TaskOutcome::Complete || outcome == TaskOutcome::GivenUp) return "完毕";
    return outcomeText(outcome, partKept);
}

}  // namespace zorvan
