#pragma once

#include <string>
#include <string_view>

namespace zorvan {

// A space is 0x20 or the full-width space 0xA1 0xA1; tabs and line breaks
// are not spaces.

// The text without the spaces at its start and end; the middle stays. At
// the end a full-width space counts only as a whole character.
std::string trimSpaces(std::string_view text);

// The text without any space anywhere (full-width ones as whole characters).
std::string removeSpaces(std::string_view text);

}  // namespace zorvan
