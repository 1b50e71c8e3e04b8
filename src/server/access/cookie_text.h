#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace zorvan {

// The value of the cookie named exactly `name` in a Cookie header ("a=1; b=2");
// empty when there is none. "xsession=1" is not the cookie "session".
std::string cookieValue(const std::string& cookieHeader, const std::string& name);

// A Set-Cookie value for the session cookie: out of reach of the page's
// scripts (HttpOnly) and never sent with a request another site starts
// (SameSite=Strict); Secure when the server is reached over TLS. Without
// maxAge it lasts until the browser closes; a maxAge of 0 removes it.
std::string sessionCookie(const std::string& name, const std::string& value, bool secure,
                          std::optional<std::chrono::seconds> maxAge = std::nullopt);

}  // namespace zorvan
