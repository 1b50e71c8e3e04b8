#pragma once

#include <string>
#include <string_view>

namespace zorvan {

// Letter case of ASCII A-Z only: bytes of double-byte characters never change.
inline char asciiLowerChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

inline std::string asciiLower(std::string_view text) {
    std::string result(text);
    for (char& c : result) c = asciiLowerChar(c);
    return result;
}

inline bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (asciiLowerChar(text[i]) != asciiLowerChar(prefix[i])) return false;
    return true;
}

}  // namespace zorvan
