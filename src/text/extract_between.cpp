#include "text/extract_between.h"

#include "text/find_text.h"
#include "text/trim_spaces.h"

namespace zorvan {

int extractBetween(std::string_view source, std::string_view startMarker, std::string_view endMarker,
                   std::vector<std::string>& items) {
    items.clear();
    // An empty start marker would match the same place for ever.
    if (startMarker.empty()) return 0;
    const int startLength = static_cast<int>(startMarker.size());
    int position = 1;
    for (;;) {
        const int start = findText(source, startMarker, position, true);
        if (start < 1) break;
        const int valueStart = start + startLength;
        const int end = findText(source, endMarker, valueStart, true);
        // An empty end marker "matches" before the value: nothing to take.
        if (end < valueStart) break;
        std::string item = trimSpaces(source.substr(valueStart - 1, end - valueStart));
        if (item.empty()) break;
        items.push_back(std::move(item));
        position = end;
    }
    return static_cast<int>(items.size());
}

}  // namespace zorvan
