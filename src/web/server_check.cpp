#include "web/server_check.h"

#include "web/http_fetch.h"

#include <cstdlib>

namespace zorvan {

int answerStatus(const std::string& address) {
    std::string headers = "Range: bytes=0-0";
    std::string responseHeaders;
    httpFetch(address, {}, {}, nullptr, nullptr, &headers, nullptr, {}, nullptr, {}, &responseHeaders);
    if (responseHeaders.rfind("HTTP/", 0) != 0) return 0;
    const auto space = responseHeaders.find(' ');
    return space == std::string::npos ? 0 : std::atoi(responseHeaders.c_str() + space + 1);
}

}  // namespace zorvan
