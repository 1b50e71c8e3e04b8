#pragma once

#include <string>
#include <string_view>

namespace zorvan {

// Conversions between UTF-8 and the program's code page 936 texts. GB18030
// is used on the 936 side: it is byte-identical to GBK on every GBK
// character and still carries the characters GBK lacks (emoji and the like),
// so nothing is lost on the way through. Invalid input bytes are skipped.
std::string utf8ToCodePage(std::string_view utf8);
std::string codePageToUtf8(std::string_view text);

}  // namespace zorvan
