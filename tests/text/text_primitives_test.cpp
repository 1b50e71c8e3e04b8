#include "text/byte_count.h"
#include "text/code_page.h"
#include "text/duration_text.h"
#include "text/extract_between.h"
#include "text/find_text.h"
#include "text/json_text.h"
#include "text/split_text.h"
#include "text/to_integer.h"
#include "text/trim_spaces.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zorvan {
namespace {

using Items = std::vector<std::string>;

TEST(FindText, PositionsAreOneBasedAndFromIsClamped) {
    EXPECT_EQ(findText("abc", "b", 0), 2);
    EXPECT_EQ(findText("abc", "b", 1), 2);
    EXPECT_EQ(findText("abc", "b", 2), 2);
    EXPECT_EQ(findText("abc", "b", 3), -1);
    EXPECT_EQ(findText("abc", "b", -7), 2);
    EXPECT_EQ(findText("abc", "b"), 2);
    EXPECT_EQ(findText("abc", "c"), 3);
    EXPECT_EQ(findText("abc", "abcd"), -1);
    EXPECT_EQ(findText("", "a"), -1);
    // An empty needle: 1 while the region holds anything, else -1.
    EXPECT_EQ(findText("abc", "", 2), 1);
    EXPECT_EQ(findText("abc", "", 3), 1);
    EXPECT_EQ(findText("abc", "", 4), -1);
    EXPECT_EQ(findText("", ""), -1);
}

TEST(FindText, CaseFoldsAsciiOnlyWhenAsked) {
    EXPECT_EQ(findText("Set-Cookie: a", "set-cookie", {}, true), 1);
    EXPECT_EQ(findText("Set-Cookie: a", "set-cookie"), -1);
    EXPECT_EQ(findText("x\"PAGES\":3", "\"pages\":", {}, true), 2);
    // Only A-Z fold: a double-byte character is compared exactly.
    EXPECT_EQ(findText("\xC4\xE3", "\xC4\xC3", {}, true), -1);
}

TEST(FindText, NeverMatchesOnTheSecondByteOfADoubleByteCharacter) {
    // 0xB0 0x41 is one character whose second byte is "A".
    EXPECT_EQ(findText("\xB0\x41", "A"), -1);
    EXPECT_EQ(findText("\xB0\x41" "A", "A"), 3);
    EXPECT_EQ(findText("\xB0\x41" "a", "A", {}, true), 3);
    // "一一" is D2 BB D2 BB: "BB D2" straddles two characters.
    EXPECT_EQ(findText("\xD2\xBB\xD2\xBB", "\xBB\xD2"), -1);
    EXPECT_EQ(findText("\xD2\xBB\xD2\xBB", "\xD2\xBB", 3), 3);
    // A start on a second byte reads it as a lead byte, as the walk always does.
    EXPECT_EQ(findText("\xD2\xBB\xD2\xBB", "\xD2\xBB", 2), -1);
    // A lead byte at the very end ends the search.
    EXPECT_EQ(findText("ab\xB0", "z"), -1);
    EXPECT_EQ(findLastText("a:b:\xB0:c", ":"), 4);  // B0 3A is one character
    EXPECT_EQ(findLastText("a:b:c:", ":"), 6);
    EXPECT_EQ(findLastText("\xB0:", ":"), -1);
    EXPECT_EQ(findLastText("abc", ":"), -1);
}

TEST(TrimSpaces, TrimsAsciiAndFullWidthSpacesOnly) {
    EXPECT_EQ(trimSpaces("\xA1\xA1" "ab "), "ab");
    EXPECT_EQ(trimSpaces("  a b  "), "a b");
    EXPECT_EQ(trimSpaces("\tab\r\n"), "\tab\r\n");
    EXPECT_EQ(trimSpaces(" \xA1\xA1 "), "");
    EXPECT_EQ(trimSpaces(""), "");
    EXPECT_EQ(trimSpaces("ab\xA1\xA1"), "ab");
    // B0 A1 is a character; the A1 after it is no full-width space with it.
    EXPECT_EQ(trimSpaces("\xB0\xA1\xA1"), "\xB0\xA1\xA1");
    EXPECT_EQ(trimSpaces("\xB0\xA1\xA1\xA1"), "\xB0\xA1");
    EXPECT_EQ(removeSpaces("a =x \xA1\xA1y"), "a=xy");
    EXPECT_EQ(removeSpaces("\xB0\xA1\xA1\xB0"), "\xB0\xA1\xA1\xB0");
}

TEST(ExtractBetween, CollectsInOrderAndStopsAtTheFirstEmptyItem) {
    Items items{"stale"};
    EXPECT_EQ(extractBetween("[a][ b ][][c]", "[", "]", items), 2);
    EXPECT_EQ(items, (Items{"a", "b"}));

    EXPECT_EQ(extractBetween("{\"pages\":3,\"data\":[]}", "\"pages\":", ",\"data\":", items), 1);
    EXPECT_EQ(items, (Items{"3"}));

    EXPECT_EQ(extractBetween("[a no end", "[", "]", items), 0);
    EXPECT_TRUE(items.empty());
    EXPECT_EQ(extractBetween("abc", "[", "]", items), 0);

    // Markers match in any case; each start is searched from the end marker used.
    EXPECT_EQ(extractBetween("<B>x</b><b>y</B>", "<b>", "</b>", items), 2);
    EXPECT_EQ(items, (Items{"x", "y"}));
    EXPECT_EQ(extractBetween("'x'y'z'", "'", "'", items), 3);
    EXPECT_EQ(items, (Items{"x", "y", "z"}));

    // Markers that would never move on end at once.
    EXPECT_EQ(extractBetween("abc", "", "c", items), 0);
    EXPECT_EQ(extractBetween("abc", "a", "", items), 0);
}

TEST(ExtractBetween, ReadsManyItemsInLinearTime) {
    std::string source;
    for (int i = 0; i < 20000; ++i) source += "\"songname\":\"n" + std::to_string(i) + "\",\"addtime\":\"x\"";
    Items items;
    EXPECT_EQ(extractBetween(source, "\"songname\":\"", "\",\"addtime\":\"", items), 20000);
    EXPECT_EQ(items.back(), "n19999");
}

TEST(CodePage, Utf8ConvertsToGbkAndBack) {
    EXPECT_EQ(utf8ToGbk("歌名"), "\xB8\xE8\xC3\xFB");
    EXPECT_EQ(utf8ToGbk("你好世界 live"), "\xC4\xE3\xBA\xC3\xCA\xC0\xBD\xE7 live");
    EXPECT_EQ(gbkToUtf8("\xB8\xE8\xC3\xFB"), "歌名");
    EXPECT_EQ(utf8ToGbk(""), "");
    // Characters GBK lacks survive the round trip instead of becoming "?".
    const std::string withEmoji = "歌😀";
    EXPECT_EQ(gbkToUtf8(utf8ToGbk(withEmoji)), withEmoji);
    // Stops at the first zero byte; bytes that are not UTF-8 become "?".
    EXPECT_EQ(utf8ToGbk(std::string("ab\0cd", 5)), "ab");
    EXPECT_EQ(utf8ToGbk("a\xFF" "b"), "a?b");
}

// A works page's values as the service meant them: JSON's escapes undone,
// everything else (a backslash JSON does not know, a GBK trail byte that
// happens to be 0x5C) left as written.
TEST(JsonText, EscapesAreUndoneOnceAndNothingElseIsTouched) {
    EXPECT_EQ(jsonTextUtf8("\\u5c0f\\u5E78\\u8fd0"), "小幸运");
    EXPECT_EQ(jsonTextUtf8("晴天 \\\"live\\\" \\ud83c\\udfb5"), "晴天 \"live\" 🎵") << "a surrogate pair is one character";
    EXPECT_EQ(jsonTextUtf8("http:\\/\\/h\\/a.mp4?x=1\\u0026y=2"), "http://h/a.mp4?x=1&y=2");
    EXPECT_EQ(jsonTextUtf8("a\\\\b\\tc\\nd"), "a\\b\tc\nd");
    EXPECT_EQ(jsonTextUtf8("\\ud800x \\udc00 \\u0000"), "?x ? ?") << "no lone surrogate, no NUL";
    EXPECT_EQ(jsonTextUtf8("\\q \\u12 \\"), "\\q \\u12 \\") << "what JSON does not know stays";
    EXPECT_EQ(jsonTextUtf8("\\\\u0041"), "\\u0041") << "an escaped backslash is not the start of another escape";
    // Code page 936: a trail byte of 0x5C is part of its character.
    const std::string gbk = utf8ToGbk("乗") + "\\u0041";
    EXPECT_EQ(static_cast<unsigned char>(gbk[1]), 0x5C);
    EXPECT_EQ(gbkToUtf8(jsonTextGbk(gbk)), "乗A");
    EXPECT_EQ(jsonTextGbk(utf8ToGbk("乗\\n")), utf8ToGbk("乗\n"));
}

TEST(ToInteger, ReadsSignDigitsAndFullWidthForms) {
    EXPECT_EQ(toInteger(" 12ab"), 12);
    EXPECT_EQ(toInteger("ab"), 0);
    EXPECT_EQ(toInteger(""), 0);
    EXPECT_EQ(toInteger("-42"), -42);
    EXPECT_EQ(toInteger("+7x"), 7);
    EXPECT_EQ(toInteger("\t\r\n 5"), 5);
    EXPECT_EQ(toInteger("\xA3\xB1\xA3\xB2"), 12);       // full-width "12"
    EXPECT_EQ(toInteger("\xA1\xA1\xA3\xAD\xA3\xB3"), -3);  // full-width space, "-", "3"
    EXPECT_EQ(toInteger("99999999999"), 2147483647);
    EXPECT_EQ(toInteger("-2147483648"), -2147483648);
    EXPECT_EQ(toInteger("-99999999999"), -2147483648);
    EXPECT_EQ(toInteger("8080/x"), 8080);
}

TEST(SplitText, KeepsInnerEmptyPiecesAndDropsAnEmptyLastOne) {
    EXPECT_EQ(splitText("a;;b;", ";"), (Items{"a", "", "b"}));
    EXPECT_EQ(splitText("a\r\nb\r\n\r\n", "\r\n"), (Items{"a", "b", ""}));
    EXPECT_EQ(splitText("", ";"), Items{});
    EXPECT_EQ(splitText(";", ";"), (Items{""}));
    EXPECT_EQ(splitText("abc", ";"), (Items{"abc"}));
}

// Sizes, rates and times left as the downloads view writes them.
TEST(PeopleText, SizesAndTimesLeftAreWrittenOneWay) {
    EXPECT_EQ(humanBytes(512), "512 B");
    EXPECT_EQ(humanBytes(300000), "293 KiB");
    EXPECT_EQ(humanBytes(4026531.84), "3.84 MiB");
    EXPECT_EQ(humanBytes(20650148), "19.7 MiB");
    EXPECT_EQ(timeLeftText(420, 10), "0:42");
    EXPECT_EQ(timeLeftText(421, 10), "0:43") << "rounded up: never \"0:00\" before the end";
    EXPECT_EQ(timeLeftText(7250, 10), "12:05");
    EXPECT_EQ(timeLeftText(37530, 10), "1:02:33");
    EXPECT_EQ(timeLeftText(0, 10), "0:00");
    EXPECT_EQ(timeLeftText(1000, 0), "") << "nothing moving: unknown";
    EXPECT_EQ(timeLeftText(-1, 10), "") << "size unknown";
    EXPECT_EQ(timeLeftText(std::int64_t{1} << 50, 1), "") << "more than 99 hours is not a time anyone plans by";
}

}  // namespace
}  // namespace zorvan
