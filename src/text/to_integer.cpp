#include "text/to_integer.h"

#include "text/find_text.h"

#include <limits>

namespace zorvan {

std::string toHalfWidth(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (isLeadByte(text[i]) && i + 1 < text.size()) {
            const auto trail = static_cast<unsigned char>(text[i + 1]);
            if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE)
                result.push_back(static_cast<char>(trail - 0x80));
            else if (lead == 0xA1 && trail == 0xA1)
                result.push_back(' ');
            else
                result.append(text.substr(i, 2));
            i += 2;
        } else {
            result.push_back(text[i]);
            ++i;
        }
    }
    return result;
}

std::int32_t toInteger(std::string_view text) {
    const std::string ascii = toHalfWidth(text);
    std::size_t i = 0;
    auto isWhite = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    while (i < ascii.size() && isWhite(ascii[i])) ++i;
    bool negative = false;
    if (i < ascii.size() && (ascii[i] == '+' || ascii[i] == '-')) negative = ascii[i++] == '-';
    std::int64_t value = 0;
    constexpr std::int64_t limit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    for (; i < ascii.size() && ascii[i] >= '0' && ascii[i] <= '9'; ++i) {
        value = value * 10 + (ascii[i] - '0');
        if (value > limit) value = limit;
    }
    if (negative) return static_cast<std::int32_t>(-value);
    return static_cast<std::int32_t>(value == limit ? limit - 1 : value);
}

}  // namespace zorvan
