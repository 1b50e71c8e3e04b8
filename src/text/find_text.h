#pragma once

#include <optional>
#include <string_view>

namespace zorvan {

// Texts are code page 936 byte strings. Positions are 1-based; -1 means
// not found. A search never starts a match on the second byte of a
// double-byte character (a lead byte >= 0x80 and the byte after it).

// Position of needle in haystack, searching from `from` (absent: 1). With
// ignoreCase only ASCII A-Z fold to a-z. An empty needle gives 1 while the
// searched region is not empty, else -1.
int findText(std::string_view haystack, std::string_view needle, std::optional<int> from = {},
             bool ignoreCase = false);

// Position of the last match of needle (exact case), with the same
// character rule; -1 when there is none.
int findLastText(std::string_view haystack, std::string_view needle);

// True when the byte starts a double-byte character.
inline bool isLeadByte(char c) { return static_cast<unsigned char>(c) >= 0x80; }

}  // namespace zorvan
