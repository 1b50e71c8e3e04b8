// Addresses and cookies as servers and users write them: parsing never
// fails silently into a broken address, request targets never carry a byte
// that could split the request line, and cookie merging keeps its items.
#include "download/http_address.h"
#include "download/http_request.h"
#include "fuzz_check.h"
#include "text/split_text.h"
#include "web/cookies.h"
#include "web/url_parts.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace zorvan;

namespace {

bool safeOnTheWire(const std::string& text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string url = in.ConsumeRandomLengthString(600);
    std::string cookies = in.ConsumeRandomLengthString(300);
    std::string newCookies = in.ConsumeRandomLengthString(300);
    const std::string proxy = in.ConsumeBool() ? "proxy:3128" : "";

    const auto address = parseAddress(url);
    FUZZ_CHECK(address.has_value() == (addressFault(url) == AddressFault::None));
    if (address) {
        FUZZ_CHECK(address->port >= 1 && address->port <= 65535);
        FUZZ_CHECK(!address->host.empty() && !address->path.empty() && address->path[0] == '/');
        FUZZ_CHECK(safeOnTheWire(requestTarget(address->path)));
        FUZZ_CHECK(fileNameFromPath(address->path).size() <= 1023);
        if (const auto fields = makeRequestFields(*address, url, proxy, "")) {
            FUZZ_CHECK(fields->target.size() <= maxTargetBytes && safeOnTheWire(fields->target));
            if (const auto request = buildRequest(*fields, "", true)) FUZZ_CHECK(request->size() <= maxRequestBytes);
        }
    }
    FUZZ_CHECK(upToLastSlash(url).size() <= url.size());

    (void)urlHost(url, true);
    (void)urlPath(url);
    (void)urlPort(url);

    const std::size_t given = cookies.size() + newCookies.size();
    const std::string merged = mergeCookies(cookies, newCookies);
    FUZZ_CHECK(merged.size() <= 2 * given + 2);
    // Every new cookie is kept, unless it deletes itself ("name=deleted").
    // Only for ASCII: the text primitives read bytes from 0x80 on as code
    // page 936, where such a byte before ";" may take it as its second half.
    const bool ascii = std::all_of(merged.begin(), merged.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    const std::vector<std::string> kept = splitText(merged, ";");
    for (const std::string& item : ascii ? splitText(newCookies, ";") : std::vector<std::string>{}) {
        if (item.empty() || item.ends_with("=deleted")) continue;
        FUZZ_CHECK(std::find(kept.begin(), kept.end(), item) != kept.end() ||
                   std::find(kept.begin(), kept.end(), " " + item) != kept.end());
    }
    return 0;
}
