// What a server sends back, read by the engine: the header block, the
// redirection it names and a chunked body. Nothing a server writes may end
// up in the next request line, and a decoded body is never longer than
// what came.
#include "download/chunked_decoder.h"
#include "download/http_address.h"
#include "download/http_request.h"
#include "download/response_header.h"
#include "fuzz_check.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <string>

using namespace zorvan;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::size_t split = in.ConsumeIntegralInRange<std::size_t>(0, 64);
    const std::string bytes = in.ConsumeRemainingBytesAsString();

    if (const auto span = findHeader(bytes)) {
        FUZZ_CHECK(span->begin <= span->end && span->end <= bytes.size());
        const std::string_view block = std::string_view(bytes).substr(span->begin, span->end - span->begin);
        if (const auto canonical = canonicalHeader(block)) {
            const ResponseHeader header = parseResponseHeader(*canonical);
            if (header.contentRangeStart >= 0 && header.contentRangeEnd >= 0)
                FUZZ_CHECK(header.contentRangeStart <= header.contentRangeEnd);
            // The redirection, from a page fetched over each scheme.
            for (const char* from : {"http://host:81/dir/a.mp4", "https://host/dir/a.mp4"}) {
                auto fields = *makeRequestFields(*parseAddress(from), from, "", "");
                if (followRedirect(fields, header.location, header.setCookie)) {
                    FUZZ_CHECK(isWebScheme(fields.address.scheme));
                    FUZZ_CHECK(fields.target.find_first_of("\r\n ") == std::string::npos);
                    FUZZ_CHECK(fields.address.host.find_first_of("\r\n") == std::string::npos);
                    FUZZ_CHECK(fields.cookieLine.empty() ||
                               fields.cookieLine.find_first_of("\r\n") == fields.cookieLine.size() - 2);
                }
            }
        }
    }
    (void)endsWithoutStatusLine(bytes);
    (void)holdsStatusLine(bytes);

    // The same bytes as a chunked body, fed whole and in two parts.
    ChunkedDecoder whole, parts;
    std::string once, twice;
    whole.feed(bytes, once);
    const std::size_t cut = std::min(split, bytes.size());
    parts.feed(std::string_view(bytes).substr(0, cut), twice);
    parts.feed(std::string_view(bytes).substr(cut), twice);
    FUZZ_CHECK(once.size() <= bytes.size());
    FUZZ_CHECK(once == twice && whole.done() == parts.done() && whole.failed() == parts.failed());
    return 0;
}
