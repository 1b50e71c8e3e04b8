#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zorvan {

// Splits a text on a delimiter (exact case, on character boundaries). Empty
// pieces between two delimiters stay, an empty last piece is dropped, an
// empty text gives no pieces.
std::vector<std::string> splitText(std::string_view text, std::string_view delimiter);

}  // namespace zorvan
