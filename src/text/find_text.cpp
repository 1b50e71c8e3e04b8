#include "text/find_text.h"

#include "text/ascii_case.h"

#include <algorithm>

namespace zorvan {

namespace {

bool matchesAt(std::string_view haystack, std::size_t at, std::string_view needle, bool ignoreCase) {
    if (!ignoreCase) return haystack.compare(at, needle.size(), needle) == 0;
    for (std::size_t k = 0; k < needle.size(); ++k)
        if (asciiLowerChar(haystack[at + k]) != asciiLowerChar(needle[k])) return false;
    return true;
}

// Calls onMatch(position) for every match in the region, in order, until it
// returns true. Returns the position it stopped at, or -1.
template <class OnMatch>
int walk(std::string_view haystack, std::string_view needle, std::size_t start, bool ignoreCase,
         OnMatch onMatch) {
    const std::size_t length = haystack.size();
    std::size_t i = start;
    while (length - i >= needle.size() && i < length) {
        if (matchesAt(haystack, i, needle, ignoreCase) && onMatch(static_cast<int>(i) + 1))
            return static_cast<int>(i) + 1;
        if (isLeadByte(haystack[i])) {
            if (i + 1 >= length) return -1;  // a lead byte with nothing after it
            i += 2;
        } else {
            ++i;
        }
    }
    return -1;
}

}  // namespace

int findText(std::string_view haystack, std::string_view needle, std::optional<int> from, bool ignoreCase) {
    const std::size_t start = from ? static_cast<std::size_t>(std::max(0, *from - 1)) : 0;
    const bool regionEmpty = start >= haystack.size();
    if (needle.empty()) return regionEmpty ? -1 : 1;
    if (regionEmpty) return -1;
    return walk(haystack, needle, start, ignoreCase, [](int) { return true; });
}

int findLastText(std::string_view haystack, std::string_view needle) {
    if (needle.empty() || haystack.empty()) return -1;
    int last = -1;
    walk(haystack, needle, 0, false, [&last](int position) {
        last = position;
        return false;
    });
    return last;
}

}  // namespace zorvan
