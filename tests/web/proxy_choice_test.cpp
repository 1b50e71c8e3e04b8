// Which proxy a request takes: the option, else the environment as curl
// reads it, and the hosts no_proxy names go direct.
#include "web/proxy_choice.h"

#include <gtest/gtest.h>

#include <map>

namespace zorvan {
namespace {

TEST(ProxyChoice, FollowsTheOptionThenTheEnvironmentAsCurlDoesAndRefusesWhatItCannotUse) {
    std::string error;
    EXPECT_EQ(parseProxy("http://cache.local:3128/", error), "cache.local:3128");
    EXPECT_EQ(parseProxy("HTTP://cache.local:1", error), "cache.local:1");
    EXPECT_EQ(parseProxy(" cache.local ", error), "cache.local:80");
    for (const char* bad : {"socks5://cache.local:1080", "https://cache.local:443", "cache.local:99999",
                            "cache.local:x", "user:secret@cache.local:3128", ":8080"}) {
        error.clear();
        EXPECT_FALSE(parseProxy(bad, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }

    EXPECT_TRUE(bypassesProxy("a.example.com", "localhost, example.com"));
    EXPECT_TRUE(bypassesProxy("A.Example.com", ".example.com"));
    EXPECT_TRUE(bypassesProxy("example.com", ".example.com"));
    EXPECT_FALSE(bypassesProxy("badexample.com", "example.com"));
    EXPECT_TRUE(bypassesProxy("anything", " * "));
    EXPECT_TRUE(bypassesProxy("127.0.0.1", "localhost,127.0.0.1"));
    EXPECT_FALSE(bypassesProxy("127.0.0.1", ""));

    std::map<std::string, std::string> variables;
    const Environment environment = [&](const char* name) -> const char* {
        const auto it = variables.find(name);
        return it == variables.end() ? nullptr : it->second.c_str();
    };
    const auto choose = [&](const std::string& address, ProxySettings settings = {}) {
        std::string why;
        const auto proxy = proxyFor(address, settings, why, environment);
        return proxy ? *proxy : "error: " + why;
    };
    EXPECT_EQ(choose("http://media.example/a.mp4"), "");
    // Upper-case HTTP_PROXY can come from a web server's request: never read.
    variables = {{"HTTP_PROXY", "http://evil:1"}, {"HTTPS_PROXY", "secure:8443"}, {"all_proxy", "any:9"}};
    EXPECT_EQ(choose("http://media.example/a.mp4"), "any:9");
    EXPECT_EQ(choose("https://media.example/a.mp4"), "secure:8443");
    variables["http_proxy"] = "http://plain:3128";
    EXPECT_EQ(choose("http://media.example/a.mp4"), "plain:3128");
    variables["no_proxy"] = "example";
    EXPECT_EQ(choose("http://media.example/a.mp4"), "");
    EXPECT_EQ(choose("http://media.example.org/a.mp4"), "plain:3128");
    // The options go before the environment: --noproxy replaces no_proxy,
    // --proxy "" is direct, a bad proxy is said.
    EXPECT_EQ(choose("http://media.example/a.mp4", {std::nullopt, std::string("other")}), "plain:3128");
    EXPECT_EQ(choose("http://media.example.org/a.mp4", {std::string(""), std::nullopt}), "");
    EXPECT_EQ(choose("http://media.example.org/a.mp4", {std::string("socks5://s:1"), std::nullopt}).rfind("error: ", 0),
              0u);
}

}  // namespace
}  // namespace zorvan
