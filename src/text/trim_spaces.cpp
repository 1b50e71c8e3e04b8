#include "text/trim_spaces.h"

#include "text/find_text.h"

namespace zorvan {

namespace {

// Length of the space starting at i (0 when none is there).
std::size_t spaceAt(std::string_view text, std::size_t i) {
    if (text[i] == ' ') return 1;
    if (static_cast<unsigned char>(text[i]) == 0xA1 && i + 1 < text.size() &&
        static_cast<unsigned char>(text[i + 1]) == 0xA1)
        return 2;
    return 0;
}

std::size_t characterLength(std::string_view text, std::size_t i) {
    return (isLeadByte(text[i]) && i + 1 < text.size()) ? 2 : 1;
}

}  // namespace

std::string trimSpaces(std::string_view text) {
    std::size_t begin = 0;
    while (begin < text.size()) {
        const std::size_t space = spaceAt(text, begin);
        if (space == 0) break;
        begin += space;
    }
    // Walk whole characters so a full-width space is never made of the
    // second byte of one character and the first of the next.
    std::size_t end = text.size();
    bool inTrailingRun = false;
    for (std::size_t i = begin; i < text.size();) {
        const std::size_t space = spaceAt(text, i);
        if (space > 0) {
            if (!inTrailingRun) end = i;
            inTrailingRun = true;
            i += space;
        } else {
            inTrailingRun = false;
            end = text.size();
            i += characterLength(text, i);
        }
    }
    return std::string(text.substr(begin, end - begin));
}

std::string removeSpaces(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        if (const std::size_t space = spaceAt(text, i)) {
            i += space;
            continue;
        }
        const std::size_t length = characterLength(text, i);
        result.append(text.substr(i, length));
        i += length;
    }
    return result;
}

}  // namespace zorvan
