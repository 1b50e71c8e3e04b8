#include "web/cookies.h"
#include "web/text_markers.h"
#include "web/url_parts.h"

#include <gtest/gtest.h>

namespace zorvan {
namespace {

TEST(TextBetween, FindsTheNextEndMarkerAfterTheStart) {
    EXPECT_EQ(textBetween("Set-Cookie: a=1; path=/", "Set-Cookie:", ";"), " a=1");
    EXPECT_EQ(textBetween("SET-COOKIE: a=1;", "set-cookie:", ";"), " a=1");
    EXPECT_EQ(textBetween("SET-COOKIE: a=1;", "set-cookie:", ";", {}, true), "");
    EXPECT_EQ(textBetween("x=1;y=2;", "=", ";", 4), "2");
    EXPECT_EQ(textBetween("no markers", "[", "]"), "");
    EXPECT_EQ(textBetween("[open", "[", "]"), "");
    // "#引号" (in code page 936) stands for a double quote in markers.
    EXPECT_EQ(textBetween("{\"id\":\"77\"}", "\"id\":#\xD2\xFD\xBA\xC5", "#\xD2\xFD\xBA\xC5"), "77");
}

TEST(TextAfterColon, TakesEverythingAfterTheFirstColonTrimmed) {
    EXPECT_EQ(textAfterColon("Location: http://h/p"), "http://h/p");
    EXPECT_EQ(textAfterColon("Location:\xA1\xA1x "), "x");
    EXPECT_EQ(textAfterColon("no colon"), "");
}

TEST(UrlParts, SplitHostPortAndPath) {
    EXPECT_EQ(urlHost("HTTP://Media.Host:8080/a/b"), "media.host");
    EXPECT_EQ(urlHost("HTTP://Media.Host:8080/a/b", true), "media.host:8080");
    EXPECT_EQ(urlPort("HTTP://Media.Host:8080/a/b"), 8080);
    EXPECT_EQ(urlPath("HTTP://Media.Host:8080/a/b"), "/a/b");

    EXPECT_EQ(urlPort("https://h/x"), 443);
    EXPECT_EQ(urlPort("Https://h/x"), 443);
    EXPECT_EQ(urlPort("h/x"), 80);
    EXPECT_EQ(urlHost("h/x"), "h");
    EXPECT_EQ(urlPath("h/x"), "/x");

    EXPECT_EQ(urlPath("http://h"), "/");
    EXPECT_EQ(urlPath("http://h/p?q=1"), "/p?q=1");
    EXPECT_EQ(urlPath("http://t/x"), "/x");
    EXPECT_EQ(urlPath("HTTPS://Host/x"), "/x");
    EXPECT_EQ(urlHost("HTTPS://Host/x"), "host");
    EXPECT_EQ(urlPath("http://h/A/B?Q=X"), "/A/B?Q=X");

    EXPECT_EQ(urlHost("http://h?q=1"), "h?q=1");
    EXPECT_EQ(urlPath("http://h?q=1"), "/");
    EXPECT_TRUE(isHttpsAddress("HTTPS://x"));
    EXPECT_FALSE(isHttpsAddress("http://x"));
}

TEST(MergeCookies, PutsNewCookiesFirstAndDropsDeletions) {
    std::string cookies = "a=1; b=2";
    std::string fresh = "b=3;c=deleted";
    EXPECT_EQ(mergeCookies(cookies, fresh), "b=3; a=1");
    EXPECT_EQ(cookies, "b=3; a=1");
    EXPECT_EQ(fresh, "b=3;c=deleted");

    std::string none, noneNew;
    EXPECT_EQ(mergeCookies(none, noneNew), "");

    std::string spaced = "a=x y", spacedNew = " ";
    EXPECT_EQ(mergeCookies(spaced, spacedNew), "a=xy");
    EXPECT_EQ(spacedNew, "");

    // Of several earlier items with one name only the first is kept; a
    // deletion removes the earlier cookie too.
    std::string old = "k=1; k=2; gone=5; flag";
    std::string set = "gone=deleted; n=9";
    EXPECT_EQ(mergeCookies(old, set), "n=9; k=1; flag");
    EXPECT_EQ(cookieName(" a =1"), "a");
    EXPECT_EQ(cookieName("flag"), "flag");
}

}  // namespace
}  // namespace zorvan
