#include "download/response_header.h"

#include "text/ascii_case.h"

#include <time.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <vector>

namespace zorvan {

namespace {

std::string_view trimmed(std::string_view value) {
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
    return value;
}

// Calls onValue with the trimmed value of every header line called `name`,
// in order, until it returns false.
template <class OnValue>
void forEachField(std::string_view header, std::string_view name, OnValue onValue) {
    std::size_t lineStart = header.find("\r\n");
    while (lineStart != std::string_view::npos && lineStart + 2 < header.size()) {
        lineStart += 2;
        const std::size_t lineEnd = header.find("\r\n", lineStart);
        const std::string_view line =
            header.substr(lineStart, lineEnd == std::string_view::npos ? std::string_view::npos : lineEnd - lineStart);
        if (startsWithIgnoringCase(line, name) && line.size() > name.size() && line[name.size()] == ':')
            if (!onValue(trimmed(line.substr(name.size() + 1)))) return;
        lineStart = lineEnd;
    }
}

// The value of the first header line called `name`; nothing when absent.
std::optional<std::string> field(std::string_view header, std::string_view name) {
    std::optional<std::string> found;
    forEachField(header, name, [&](std::string_view value) {
        found = std::string(value);
        return false;
    });
    return found;
}

std::int64_t leadingNumber(std::string_view text) {
    std::int64_t value = -1;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return result.ec == std::errc() ? value : -1;
}

// A number written with digits only and nothing else, or -1.
std::int64_t wholeNumber(std::string_view text) {
    if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != std::string_view::npos) return -1;
    return leadingNumber(text);
}

// Every Content-Length value, lines and comma-separated lists alike, must
// be the same plain number.
void readContentLength(std::string_view header, ResponseHeader& r) {
    forEachField(header, "Content-Length", [&](std::string_view value) {
        for (std::size_t at = 0; at <= value.size();) {
            std::size_t comma = value.find(',', at);
            if (comma == std::string_view::npos) comma = value.size();
            const std::int64_t length = wholeNumber(trimmed(value.substr(at, comma - at)));
            if (length < 0 || (r.contentLength >= 0 && length != r.contentLength)) r.lengthInvalid = true;
            r.contentLength = length;
            at = comma + 1;
        }
        return true;
    });
    if (r.lengthInvalid) r.contentLength = -1;
}

// Every transfer coding named, in order, lower case.
std::vector<std::string> transferCodings(std::string_view header) {
    std::vector<std::string> codings;
    forEachField(header, "Transfer-Encoding", [&](std::string_view value) {
        for (std::size_t at = 0; at <= value.size();) {
            std::size_t comma = value.find(',', at);
            if (comma == std::string_view::npos) comma = value.size();
            if (const std::string_view coding = trimmed(value.substr(at, comma - at)); !coding.empty())
                codings.push_back(asciiLower(coding));
            at = comma + 1;
        }
        return true;
    });
    return codings;
}

// Where the line that starts at `at` ends (its '\n'), and whether it is empty.
std::size_t lineEnd(std::string_view data, std::size_t at) { return data.find('\n', at); }
bool isEmptyLine(std::string_view data, std::size_t at, std::size_t end) {
    return end == at || (end == at + 1 && data[at] == '\r');
}

// One past the first empty line at or after `from`, or npos.
std::size_t afterEmptyLine(std::string_view data, std::size_t from) {
    for (std::size_t at = from;;) {
        const std::size_t end = lineEnd(data, at);
        if (end == std::string_view::npos) return end;
        if (isEmptyLine(data, at, end)) return end + 1;
        at = end + 1;
    }
}

std::size_t statusLineStart(std::string_view data) { return std::min(data.find("HTTP/1.1"), data.find("HTTP/1.0")); }

// "bytes 100-199/1000" (or "bytes */1000").
void readContentRange(const std::string& value, ResponseHeader& r) {
    std::string_view range = value;
    if (startsWithIgnoringCase(range, "bytes")) range.remove_prefix(5);
    while (!range.empty() && (range.front() == ' ' || range.front() == '=')) range.remove_prefix(1);
    r.contentRangeStart = leadingNumber(range);
    const std::size_t dash = range.find('-');
    const std::size_t slash = range.find('/');
    if (slash == std::string_view::npos) return;
    if (dash != std::string_view::npos && dash < slash) r.contentRangeEnd = wholeNumber(range.substr(dash + 1, slash - dash - 1));
    r.contentRangeTotal = wholeNumber(trimmed(range.substr(slash + 1)));
    // A range that ends before it starts, or past the file's end, names no
    // place in the file: read as no range at all, so no answer built on it
    // is taken.
    const bool backwards = r.contentRangeEnd >= 0 && r.contentRangeEnd < r.contentRangeStart;
    const bool pastEnd = r.contentRangeTotal >= 0 && r.contentRangeEnd >= r.contentRangeTotal;
    if (backwards || pastEnd) r.contentRangeStart = r.contentRangeEnd = -1;
}

// Seconds, or an HTTP date ("Sun, 06 Nov 1994 08:49:37 GMT", read without
// the locale) from which the seconds until then are counted.
int retryAfterSeconds(const std::string& value, std::time_t now) {
    const std::int64_t seconds = wholeNumber(value);
    if (seconds >= 0) return static_cast<int>(std::min<std::int64_t>(seconds, 86400));
    static constexpr std::string_view months = "JanFebMarAprMayJunJulAugSepOctNovDec";
    std::tm date{};
    char month[4] = {};
    if (std::sscanf(value.c_str(), "%*3s, %d %3s %d %d:%d:%d GMT", &date.tm_mday, month, &date.tm_year,
                    &date.tm_hour, &date.tm_min, &date.tm_sec) != 6)
        return -1;
    const std::size_t index = months.find(month);
    if (index == std::string_view::npos || index % 3 != 0) return -1;
    date.tm_mon = static_cast<int>(index / 3);
    date.tm_year -= 1900;
    const std::time_t at = ::timegm(&date);
    if (at == -1) return -1;
    return at <= now ? 0 : static_cast<int>(std::min<std::time_t>(at - now, 86400));
}

std::string fileNameOf(const std::string& disposition) {
    const auto at = disposition.find("filename=");
    if (at == std::string::npos) return {};
    std::string rest = disposition.substr(at + 9);
    if (!rest.empty() && rest.front() == '"') {
        const auto close = rest.find('"', 1);
        return close == std::string::npos ? rest.substr(1) : rest.substr(1, close - 1);
    }
    rest = rest.substr(0, rest.find(';'));
    while (!rest.empty() && (rest.back() == '\r' || rest.back() == '\n' || rest.back() == ' ')) rest.pop_back();
    return rest;
}

}  // namespace

std::optional<HeaderSpan> findHeader(std::string_view data) {
    const std::size_t begin = statusLineStart(data);
    if (begin == std::string_view::npos) return std::nullopt;
    const std::size_t end = afterEmptyLine(data, begin);
    if (end == std::string_view::npos) return std::nullopt;
    return HeaderSpan{begin, end};
}

bool holdsStatusLine(std::string_view data) { return statusLineStart(data) != std::string_view::npos; }

bool endsWithoutStatusLine(std::string_view data) {
    const std::size_t first = data.find_first_not_of("\r\n");  // empty lines before an answer are tolerated
    if (first == std::string_view::npos) return false;
    const std::size_t end = afterEmptyLine(data, first);
    return end != std::string_view::npos && statusLineStart(data) > end;
}

std::optional<std::string> canonicalHeader(std::string_view block) {
    if (block.find('\0') != std::string_view::npos) return std::nullopt;
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < block.size();) {
        std::size_t end = lineEnd(block, at);
        if (end == std::string_view::npos) end = block.size();
        std::string_view line = block.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        at = end + 1;
        if (line.empty()) break;
        if (lines.empty()) {
            // "HTTP/1.x NNN", the reason phrase optional.
            if (line.size() < 12 || line[8] != ' ' || line.find_first_not_of("0123456789", 9) < 12 ||
                (line.size() > 12 && line[12] != ' '))
                return std::nullopt;
        } else if (line.front() == ' ' || line.front() == '\t') {
            if (lines.size() == 1) return std::nullopt;  // folded onto the status line
            lines.back() += ' ';
            lines.back() += trimmed(line);
            continue;
        } else {
            const std::size_t colon = line.find(':');
            if (colon == std::string_view::npos || colon == 0 || line[colon - 1] == ' ' || line[colon - 1] == '\t')
                return std::nullopt;
        }
        lines.emplace_back(line);
    }
    if (lines.empty()) return std::nullopt;
    std::string canonical;
    for (const std::string& line : lines) canonical += line + "\r\n";
    return canonical + "\r\n";
}

ResponseHeader parseResponseHeader(std::string_view header, std::time_t now) {
    ResponseHeader r;
    if (header.size() >= 12) {
        int status = 0;
        const auto result = std::from_chars(header.data() + 9, header.data() + 12, status);
        if (result.ec == std::errc() && result.ptr == header.data() + 12) r.status = status;
    }
    readContentLength(header, r);
    const std::vector<std::string> codings = transferCodings(header);
    r.chunked = codings.size() == 1 && codings.front() == "chunked";
    r.codingUnsupported = !codings.empty() && !r.chunked;
    if (auto v = field(header, "Content-Range")) readContentRange(*v, r);
    if (auto v = field(header, "Retry-After")) r.retryAfterSeconds = retryAfterSeconds(*v, now);
    r.setCookie = field(header, "Set-Cookie").value_or("");
    r.contentType = field(header, "Content-Type").value_or("");
    r.location = field(header, "Location").value_or("");
    r.server = field(header, "Server").value_or("");
    r.connection = field(header, "Connection").value_or("");
    r.acceptRanges = field(header, "Accept-Ranges").value_or("");
    r.lastModified = field(header, "Last-Modified").value_or("");
    r.etag = field(header, "ETag").value_or("");
    r.via = field(header, "Via").value_or("");
    r.fileName = fileNameOf(field(header, "Content-Disposition").value_or(""));
    return r;
}

}  // namespace zorvan
