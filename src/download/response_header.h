#pragma once

#include <cstdint>
#include <ctime>
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
    bool lengthInvalid = false;            // Content-Length negative, not a number, or given twice differently
    bool chunked = false;                  // Transfer-Encoding ends in "chunked": the length does not count
    std::int64_t contentRangeStart = -1;   // "bytes START-END/TOTAL" of a 206, -1 where not given
    std::int64_t contentRangeEnd = -1;
    std::int64_t contentRangeTotal = -1;   // -1 also for "*"
    std::string setCookie;
    std::string contentType;
    std::string location;
    std::string server;
    std::string connection;
    std::string acceptRanges;
    std::string lastModified;
    std::string etag;
    std::string via;
    std::string fileName;                  // from Content-Disposition
    int retryAfterSeconds = -1;            // from Retry-After (seconds or a date), -1: not given

    // Whether the body's end is known before it comes: a length, or chunks.
    bool bodyDelimited() const { return chunked || contentLength >= 0; }
};

// Where a complete header lies in received data: from the first
// "HTTP/1.1" or "HTTP/1.0" to just after the first "\r\n\r\n" behind it.
struct HeaderSpan {
    std::size_t begin = 0;
    std::size_t end = 0;  // one past the blank line
};
std::optional<HeaderSpan> findHeader(std::string_view data);

// Reads the status (the three characters at offset 9) and the fields, each
// from its first line of that name (letter case ignored), except
// Content-Length, whose every value must agree. `now` dates Retry-After.
ResponseHeader parseResponseHeader(std::string_view header, std::time_t now = std::time(nullptr));

}  // namespace zorvan
