#pragma once

#include <string>

namespace zorvan {

// The header text a request sends: the caller's lines, then, each only when
// its name (exact case) is missing, "Referer: " + address, "Accept: */*",
// "Accept-Language: zh-cn" and "Content-Type:
// application/x-www-form-urlencoded"; then "Cookie: " + cookies when there
// are cookies. Lines are joined by "\r\n" with none at the end.
std::string withDefaultHeaders(std::string headers, const std::string& address, const std::string& cookies);

// True when the caller's header text names its own agent ("User-Agent:",
// any case); that line is then the one sent, else the default agent is.
bool namesAgent(const std::string& headers);

}  // namespace zorvan
