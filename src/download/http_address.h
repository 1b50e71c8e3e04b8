#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zorvan {

enum class Scheme { None = 0, Http = 1, Ftp = 2, Mms = 3, Rtsp = 4 };

// An address as the engine reads it: the scheme from its prefix (any
// letter case), the host text up to the first "/" after it (case kept; a
// ":port" in it overrides the scheme's default port) and the path from
// that "/" on.
struct ParsedAddress {
    Scheme scheme = Scheme::None;
    int port = 0;
    std::string host;
    std::string path;
};

// Nothing when the scheme is not recognised or no "/" follows the host.
std::optional<ParsedAddress> parseAddress(std::string_view url);

int defaultPort(Scheme scheme);

// "a b" -> "a%20b": a request target carries no spaces.
std::string escapeSpaces(std::string_view target);

// The last part of a path, percent-decoded ("%41" -> "A", "+" -> " "), for
// use as a file name; a "%" without two hexadecimal digits stays as it is.
// The query is not part of the name. At most 1023 bytes.
std::string fileNameFromPath(std::string_view path);

// Everything before the last "/" ("http://h/d/a.mp4" -> "http://h/d").
std::string upToLastSlash(std::string_view address);

}  // namespace zorvan
