#include "web/default_headers.h"

#include "text/find_text.h"

namespace zorvan {

std::string withDefaultHeaders(std::string headers, const std::string& address, const std::string& cookies) {
    auto missing = [&headers](const char* name) { return findText(headers, name) == -1; };
    if (missing("Referer:")) headers += headers.empty() ? "Referer: " + address : "\r\nReferer: " + address;
    if (missing("Accept:")) headers += "\r\nAccept: */*";
    if (missing("Accept-Language:")) headers += "\r\nAccept-Language: zh-cn";
    if (missing("Content-Type:")) headers += "\r\nContent-Type: application/x-www-form-urlencoded";
    if (!cookies.empty()) headers += "\r\nCookie: " + cookies;
    return headers;
}

bool namesAgent(const std::string& headers) { return findText(headers, "User-Agent:", {}, true) != -1; }

}  // namespace zorvan
