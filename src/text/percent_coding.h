#pragma once

#include <string>
#include <string_view>

namespace zorvan {

// The value of a hexadecimal digit (either letter case), or -1.
int hexDigitValue(char c);

// The bytes with every byte that `keep` refuses written as "%XX"
// (upper-case hexadecimal).
std::string percentEncode(std::string_view bytes, bool (*keep)(unsigned char byte));

}  // namespace zorvan
