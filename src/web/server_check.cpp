#include "web/server_check.h"

#include "web/http_fetch.h"

namespace zorvan {

bool serverAnswers(const std::string& address) {
    std::string headers = "Range: bytes=0-0";
    std::string responseHeaders;
    httpFetch(address, {}, {}, nullptr, nullptr, &headers, nullptr, {}, nullptr, {}, &responseHeaders);
    return responseHeaders.rfind("HTTP/", 0) == 0;
}

}  // namespace zorvan
