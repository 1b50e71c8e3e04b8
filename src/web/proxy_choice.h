#pragma once

#include <functional>
#include <optional>
#include <string>

namespace zorvan {

// A proxy as the user may write it ("http://host:port", "host:port" or
// "host") as the engines take it: "host:port". Nothing, with `error`, for
// a scheme other than http:// (a SOCKS proxy, say) or a bad port.
std::optional<std::string> parseProxy(const std::string& text, std::string& error);

// Whether `host` is named by a no_proxy list: "*" names every host, and
// each comma-separated entry its host and the hosts under it
// ("example.com" and ".example.com" both name "a.example.com").
bool bypassesProxy(const std::string& host, const std::string& noProxy);

// Where the command line's options and the environment send a request for
// `address`, as curl does: --proxy when given ("" for none), else
// https_proxy / HTTPS_PROXY for https and http_proxy for http (only lower
// case: HTTP_PROXY may be set by a web server for its CGI programs), else
// all_proxy / ALL_PROXY; skipped for a host in --noproxy, else in no_proxy
// / NO_PROXY. Empty: direct. Nothing, with `error`, for a proxy that
// cannot be used.
struct ProxySettings {
    std::optional<std::string> proxy;    // --proxy
    std::optional<std::string> noProxy;  // --noproxy
};
using Environment = std::function<const char*(const char*)>;
std::optional<std::string> proxyFor(const std::string& address, const ProxySettings& settings, std::string& error,
                                    const Environment& environment = nullptr);

}  // namespace zorvan
