#include "web/proxy_choice.h"

#include "web/url_parts.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace zorvan {

namespace {

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

std::optional<std::string> parseProxy(const std::string& given, std::string& error) {
    std::string text = trimmed(given);
    if (const auto scheme = text.find("://"); scheme != std::string::npos) {
        if (lowerCase(text.substr(0, scheme)) != "http") {
            error = "proxy " + text + ": only http:// proxies are supported";
            return std::nullopt;
        }
        text.erase(0, scheme + 3);
    }
    text = text.substr(0, text.find('/'));
    if (const auto at = text.rfind('@'); at != std::string::npos) {
        error = "proxy " + given + ": proxies that need a user name are not supported";
        return std::nullopt;
    }
    const auto colon = text.rfind(':');
    std::string host = colon == std::string::npos ? text : text.substr(0, colon);
    int port = 80;
    if (colon != std::string::npos) {
        const std::string digits = text.substr(colon + 1);
        const bool number = !digits.empty() && digits.size() <= 5 &&
                            std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isdigit(c); });
        port = number ? std::atoi(digits.c_str()) : 0;
    }
    if (host.empty() || port < 1 || port > 65535) {
        error = "proxy " + given + ": not host:port";
        return std::nullopt;
    }
    return host + ":" + std::to_string(port);
}

bool bypassesProxy(const std::string& host, const std::string& noProxy) {
    const std::string name = lowerCase(host);
    std::size_t from = 0;
    while (from <= noProxy.size()) {
        const auto comma = noProxy.find(',', from);
        std::string entry = lowerCase(trimmed(noProxy.substr(from, comma == std::string::npos ? comma : comma - from)));
        from = comma == std::string::npos ? noProxy.size() + 1 : comma + 1;
        if (entry == "*") return true;
        if (!entry.empty() && entry[0] == '.') entry.erase(0, 1);
        if (entry.empty()) continue;
        if (name == entry) return true;
        if (name.size() > entry.size() && name.compare(name.size() - entry.size(), entry.size(), entry) == 0 &&
            name[name.size() - entry.size() - 1] == '.')
            return true;
    }
    return false;
}

std::optional<std::string> proxyFor(const std::string& address, const ProxySettings& settings, std::string& error,
                                    const Environment& environment) {
    const auto variable = [&](const char* name) -> std::string {
        const char* value = environment ? environment(name) : std::getenv(name);
        return value ? value : "";
    };
    const auto first = [&](std::initializer_list<const char*> names) {
        for (const char* name : names)
            if (std::string value = variable(name); !value.empty()) return value;
        return std::string();
    };
    std::string proxy;
    if (settings.proxy) {
        proxy = *settings.proxy;
    } else {
        proxy = isHttpsAddress(address) ? first({"https_proxy", "HTTPS_PROXY"}) : first({"http_proxy"});
        if (proxy.empty()) proxy = first({"all_proxy", "ALL_PROXY"});
    }
    if (trimmed(proxy).empty()) return std::string();
    const std::string noProxy = settings.noProxy ? *settings.noProxy : first({"no_proxy", "NO_PROXY"});
    if (bypassesProxy(urlHost(address), noProxy)) return std::string();
    return parseProxy(proxy, error);
}

}  // namespace zorvan
