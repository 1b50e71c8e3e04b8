#pragma once

#include <string>

namespace zorvan {

// Folds the cookies a response set into the caller's cookie text. Both
// texts lose every space (and are stored back). The result, also stored in
// `cookies`, holds the new cookies in response order, then the earlier ones
// the response did not name, in their order, joined by "; "; items ending
// in "=deleted" are dropped.
std::string mergeCookies(std::string& cookies, std::string& newCookies);

// The name of a cookie item: the text before its first "=", trimmed.
std::string cookieName(const std::string& item);

}  // namespace zorvan
