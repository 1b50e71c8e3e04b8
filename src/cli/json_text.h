#pragma once

#include <string>

namespace zorvan::cli {

// A UTF-8 text as a JSON string: quotes and backslashes escaped, control
// characters as \uXXXX.
std::string jsonText(const std::string& text);

}  // namespace zorvan::cli
