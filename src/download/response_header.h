#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zorvan {

// The largest response header the engine reads.
inline constexpr std::size_t maxResponseHeaderBytes = 4097;

// One response header, with the fields the engine looks at.
struct ResponseHeader {
    int status = 0;
    std::int64_t contentLength = -1;       // -1: not given
    std::int64_t contentRangeStart = -1;   // first byte of a 206's Content-Range, -1: not given
    std::string setCookie;
    std::string contentType;
    std::string location;
    std::string server;
    std::string connection;
    std::string acceptRanges;
    std::string lastModified;
    std::string via;
    std::string fileName;                  // from Content-Disposition
};

// Where a complete header lies in received data: from the first
// "HTTP/1.1" or "HTTP/1.0" to just after the first "\r\n\r\n" behind it.
struct HeaderSpan {
    std::size_t begin = 0;
    std::size_t end = 0;  // one past the blank line
};
std::optional<HeaderSpan> findHeader(std::string_view data);

// Reads the status (the three characters at offset 9) and the fields, each
// from its first line of that name (letter case ignored).
ResponseHeader parseResponseHeader(std::string_view header);

}  // namespace zorvan
