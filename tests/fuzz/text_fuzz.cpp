// The text primitives on any bytes: searches stay in bounds and find what
// is there, extraction finds only what lies between its markers, and code
// page conversions agree with each other.
#include "fuzz_check.h"
#include "text/code_page.h"
#include "text/extract_between.h"
#include "text/find_text.h"
#include "text/json_text.h"
#include "text/to_integer.h"
#include "text/trim_spaces.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <vector>

using namespace zorvan;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string needle = in.ConsumeRandomLengthString(16);
    const std::string end = in.ConsumeRandomLengthString(16);
    const int from = in.ConsumeIntegralInRange(-4, 300);
    const bool ignoreCase = in.ConsumeBool();
    const std::string text = in.ConsumeRemainingBytesAsString();

    const int at = findText(text, needle, from, ignoreCase);
    FUZZ_CHECK(at == -1 || (at >= 1 && static_cast<std::size_t>(at - 1 + needle.size()) <= text.size()));
    if (at > 0 && !ignoreCase) FUZZ_CHECK(text.compare(at - 1, needle.size(), needle) == 0);
    const int last = findLastText(text, needle);
    FUZZ_CHECK(last == -1 || static_cast<std::size_t>(last - 1 + needle.size()) <= text.size());

    const std::string trimmed = trimSpaces(text);
    FUZZ_CHECK(trimmed.size() <= text.size());
    FUZZ_CHECK(text.find(trimmed) != std::string::npos);
    FUZZ_CHECK(removeSpaces(text).size() <= text.size());

    std::vector<std::string> items;
    const int count = extractBetween(text, needle, end, items);
    FUZZ_CHECK(count == static_cast<int>(items.size()));
    for (const std::string& item : items) FUZZ_CHECK(!item.empty() && item.size() <= text.size());

    // Escapes undone never grow a text, and a text without a backslash is
    // left as it is.
    FUZZ_CHECK(jsonTextUtf8(text).size() <= text.size());
    if (text.find('\\') == std::string::npos) FUZZ_CHECK(jsonTextUtf8(text) == text);
    (void)jsonTextGbk(text);

    (void)toInteger(text);
    FUZZ_CHECK(toHalfWidth(text).size() <= text.size());

    // Whatever comes out of one conversion goes through the other and back
    // unchanged.
    const std::string utf8 = gbkToUtf8(text);
    const std::string gbk = utf8ToGbk(utf8);
    FUZZ_CHECK(gbkToUtf8(gbk) == utf8);
    const std::string fromUtf8 = utf8ToGbk(text);
    FUZZ_CHECK(utf8ToGbk(gbkToUtf8(fromUtf8)) == fromUtf8);
    return 0;
}
