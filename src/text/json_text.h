#pragma once

#include <string>
#include <string_view>

namespace zorvan {

// A value found between a works page's markers, as the text it stands for:
// the escapes a JSON string may hold ("\uXXXX" with surrogate pairs, "\"",
// "\\", "\/", "\b", "\f", "\n", "\r", "\t") undone. An escape that is not
// one of them stays as it is; a lone surrogate or "\u0000" becomes "?".
// The one place where a service's texts lose their escapes.
std::string jsonTextUtf8(std::string_view utf8);

// The same for a code page 936 text (in and out).
std::string jsonTextGbk(std::string_view text);

}  // namespace zorvan
