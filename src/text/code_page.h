#pragma once

#include <string>
#include <string_view>

namespace zorvan {

// Conversions between UTF-8 and the program's code page 936 texts, the one
// place where encodings change.
//
// GB18030 is used on the 936 side: byte-identical to GBK on every GBK
// character, it also carries the characters GBK lacks (emoji and the like),
// so song names keep them on their way to the list and to file names. Its
// four-byte characters are two lead/trail pairs, so the double-byte rule of
// the text searches still holds.

// The UTF-8 text (up to its first zero byte) in code page 936. A byte that
// is not valid UTF-8 becomes "?".
std::string utf8ToGbk(std::string_view utf8);

// A code page 936 text (up to its first zero byte) in UTF-8; invalid bytes
// become "?".
std::string gbkToUtf8(std::string_view text);

}  // namespace zorvan
