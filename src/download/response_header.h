#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace zorvan {

// The largest response header block the engine reads: CDN answers with
// long cookies run to several kilobytes.
inline constexpr std::size_t maxHeaderBlockBytes = 64 * 1024;

// One response header, with the fields the engine looks at.
struct ResponseHeader {
    int status = 0;
    std::int64_t contentLength = -1;       // -1: not given
    bool lengthInvalid = false;            // Content-Length negative, not a number, or given twice differently
    // Transfer-Encoding, which overrides Content-Length (RFC 9112 6.3):
    // only "chunked" alone can be undone here; any other coding cannot.
    bool chunked = false;
    bool codingUnsupported = false;
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
};

// Where a complete header lies in received data: from the first
// "HTTP/1.1" or "HTTP/1.0" to just after the first empty line behind it.
// Lines may end in CRLF or in a bare LF (RFC 9112 2.2).
struct HeaderSpan {
    std::size_t begin = 0;
    std::size_t end = 0;  // one past the empty line
};
std::optional<HeaderSpan> findHeader(std::string_view data);

// Whether the data holds the start of a status line ("HTTP/1.1" or "HTTP/1.0").
bool holdsStatusLine(std::string_view data);

// Whether the data ends a header (an empty line) before any "HTTP/1.0" or
// "HTTP/1.1": an answer that is not HTTP/1.x.
bool endsWithoutStatusLine(std::string_view data);

// A header block made canonical for parsing: CRLF line ends, folded lines
// joined with a space. Nothing when it is not a valid HTTP/1.x header: a
// status line other than "HTTP/1.x NNN", a NUL byte, a field line without
// a colon or with white space before it, or a folded line right after the
// status line (RFC 9112 4, 5.1 and 5.2).
std::optional<std::string> canonicalHeader(std::string_view block);

// Reads a canonical header: the status (the three characters at offset 9)
// and the fields, each
// from its first line of that name (letter case ignored), except
// Content-Length, whose every value must agree. `now` dates Retry-After.
ResponseHeader parseResponseHeader(std::string_view header, std::time_t now = std::time(nullptr));

}  // namespace zorvan
