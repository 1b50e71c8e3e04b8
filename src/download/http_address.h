#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zorvan {

enum class Scheme { None = 0, Http = 1, Ftp = 2, Mms = 3, Rtsp = 4, Https = 5 };

// An address as the engine reads it: the scheme from its prefix (any
// letter case), the host text up to the first "/" after it (case kept; a
// ":port" in it overrides the scheme's default port; an IPv6 address in
// brackets, "[::1]:8080") and the path from that "/" on.
struct ParsedAddress {
    Scheme scheme = Scheme::None;
    int port = 0;
    std::string host;
    std::string path;
};

// What keeps an address from being fetched.
enum class AddressFault {
    None,
    Scheme,            // no http://, https://, ftp://, mms://, mmst:// or rtsp:// prefix
    NoPath,            // nothing (or only a port) follows the host: no "/" or "?" after it
    Port,              // a port that is not 1 to 65535
    ControlCharacter,  // a byte below 0x20 or 0x7F: it would reach the wire
    UserInfo,          // "user:password@host": never sent in the clear nor logged
};
AddressFault addressFault(std::string_view url);

// Nothing when addressFault finds one. The host ends at the first "/",
// "?" or "#"; an address with a query but no path has the path "/"
// before its query.
std::optional<ParsedAddress> parseAddress(std::string_view url);

int defaultPort(Scheme scheme);

// The host text without its ":port", and an IPv6 address without its
// brackets ("[::1]:8080" -> "::1"), as names are resolved and connected to.
std::string hostName(const std::string& hostText);

// The schemes the engine fetches over HTTP/1.1, in the clear or over TLS.
bool isWebScheme(Scheme scheme);
// "http://" or "https://".
const char* webSchemePrefix(Scheme scheme);

// A path (or, through a proxy, a whole address) as a request line may
// carry it: without its "#fragment", and with spaces and bytes beyond ASCII
// (UTF-8 names) percent-encoded ("a b" -> "a%20b", RFC 3986 2.1, 3.5).
std::string requestTarget(std::string_view pathOrAddress);

// The last part of a path, percent-decoded ("%41" -> "A", "+" -> " "), for
// use as a file name; a "%" without two hexadecimal digits stays as it is.
// The query is not part of the name. At most 1023 bytes.
std::string fileNameFromPath(std::string_view path);

// Everything before the last "/" ("http://h/d/a.mp4" -> "http://h/d").
std::string upToLastSlash(std::string_view address);

}  // namespace zorvan
