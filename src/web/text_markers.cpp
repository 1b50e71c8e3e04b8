#include "web/text_markers.h"

#include "text/find_text.h"
#include "text/trim_spaces.h"

namespace zorvan {

namespace {

// "#引号" in code page 936.
constexpr std::string_view quoteStandIn = "#\xD2\xFD\xBA\xC5";

std::string withQuotes(std::string_view marker) {
    std::string result;
    int from = 1;
    for (int at = findText(marker, quoteStandIn); at > 0; at = findText(marker, quoteStandIn, from)) {
        result.append(marker.substr(static_cast<std::size_t>(from - 1), static_cast<std::size_t>(at - from)));
        result += '"';
        from = at + static_cast<int>(quoteStandIn.size());
    }
    if (from - 1 < static_cast<int>(marker.size())) result.append(marker.substr(static_cast<std::size_t>(from - 1)));
    return result;
}

}  // namespace

std::string textBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker,
                        std::optional<int> from, std::optional<bool> caseSensitive) {
    const std::string start = withQuotes(startMarker);
    const std::string end = withQuotes(endMarker);
    const bool ignoreCase = !caseSensitive.value_or(false);
    const int s = findText(text, start, from, ignoreCase);
    if (s == -1) return {};
    const int valueStart = s + static_cast<int>(start.size());
    const int e = findText(text, end, valueStart, ignoreCase);
    if (e < valueStart) return {};
    return std::string(text.substr(static_cast<std::size_t>(valueStart - 1), e - valueStart));
}

std::string textAfterColon(std::string_view line) {
    const int colon = findText(line, ":");
    if (colon == -1) return {};
    return trimSpaces(line.substr(static_cast<std::size_t>(colon)));
}

}  // namespace zorvan
