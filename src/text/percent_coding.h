#pragma once

#include <string>
#include <string_view>

namespace zorvan {

// The value of a hexadecimal digit (either letter case), or -1.
int hexDigitValue(char c);

// The bytes with every byte that `keep` refuses written as "%XX"
// (upper-case hexadecimal).
std::string percentEncode(std::string_view bytes, bool (*keep)(unsigned char byte));

// "%XX" sequences as the bytes they stand for; a "%" without two
// hexadecimal digits stays as it is.
std::string percentDecode(std::string_view text);

}  // namespace zorvan
