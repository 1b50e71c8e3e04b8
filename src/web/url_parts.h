#pragma once

#include <string>
#include <string_view>

namespace zorvan {

// Address parts, read by marker search like every other value: an address
// is "http://" or "https://" (any case; none means "http://"), a host, an
// optional ":" and port, an optional path and query.

// The host in lower case, with its ":port" only when keepPort is set.
std::string urlHost(std::string_view address, bool keepPort = false);

// The explicit port, else 443 for an address starting with "https" (any
// case), else 80.
int urlPort(std::string_view address);

// Everything from the first "/" after the host to the end, query included
// and letter case as written; "/" when there is none.
std::string urlPath(std::string_view address);

// True when the first five characters are "https" in any letter case.
bool isHttpsAddress(std::string_view address);

}  // namespace zorvan
