#pragma once

#include <string>
#include <vector>

namespace zorvan {

// The Host check against DNS rebinding: a page of another site whose name
// is made to point at this machine reaches the server with that site's name
// in Host, so only names the server knows as its own are served.

// Whether the Host header's name (its port left aside) is one of the allowed
// names, ignoring case. "name", "name:port", "[::1]" and "[::1]:port" are
// read; an empty header, one with spaces, a bare IPv6 address or a broken
// bracket form is refused.
bool hostAllowed(const std::string& hostHeader, const std::vector<std::string>& allowedNames);

// The names a server listening on `listenAddress` answers to: that address
// (unless it is the any-address, 0.0.0.0 or ::), the loopback names when it
// is a loopback address or the any-address, and the `extra` names
// (--allow-host: the server's LAN name or address).
std::vector<std::string> allowedHostNames(const std::string& listenAddress, const std::vector<std::string>& extra);

}  // namespace zorvan
