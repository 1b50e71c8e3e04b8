#include "download/response_header.h"

#include "text/ascii_case.h"

#include <charconv>

namespace zorvan {

namespace {

// The value of the first header line called `name`, trimmed; nothing when absent.
std::optional<std::string> field(std::string_view header, std::string_view name) {
    std::size_t lineStart = header.find("\r\n");
    while (lineStart != std::string_view::npos && lineStart + 2 < header.size()) {
        lineStart += 2;
        const std::size_t lineEnd = header.find("\r\n", lineStart);
        const std::string_view line =
            header.substr(lineStart, lineEnd == std::string_view::npos ? std::string_view::npos : lineEnd - lineStart);
        if (startsWithIgnoringCase(line, name) && line.size() > name.size() && line[name.size()] == ':') {
            std::string_view value = line.substr(name.size() + 1);
            while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
            while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
            return std::string(value);
        }
        lineStart = lineEnd;
    }
    return std::nullopt;
}

std::int64_t leadingNumber(std::string_view text) {
    std::int64_t value = -1;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return result.ec == std::errc() ? value : -1;
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
    const auto http11 = data.find("HTTP/1.1");
    const auto http10 = data.find("HTTP/1.0");
    const auto begin = std::min(http11, http10);
    if (begin == std::string_view::npos) return std::nullopt;
    const auto blank = data.find("\r\n\r\n", begin);
    if (blank == std::string_view::npos) return std::nullopt;
    return HeaderSpan{begin, blank + 4};
}

ResponseHeader parseResponseHeader(std::string_view header) {
    ResponseHeader r;
    if (header.size() >= 12) {
        int status = 0;
        const auto result = std::from_chars(header.data() + 9, header.data() + 12, status);
        if (result.ec == std::errc() && result.ptr == header.data() + 12) r.status = status;
    }
    if (auto v = field(header, "Content-Length")) r.contentLength = leadingNumber(*v);
    if (auto v = field(header, "Content-Range")) {
        // "bytes 100-199/1000"
        std::string_view range = *v;
        if (startsWithIgnoringCase(range, "bytes")) range.remove_prefix(5);
        while (!range.empty() && (range.front() == ' ' || range.front() == '=')) range.remove_prefix(1);
        r.contentRangeStart = leadingNumber(range);
    }
    r.setCookie = field(header, "Set-Cookie").value_or("");
    r.contentType = field(header, "Content-Type").value_or("");
    r.location = field(header, "Location").value_or("");
    r.server = field(header, "Server").value_or("");
    r.connection = field(header, "Connection").value_or("");
    r.acceptRanges = field(header, "Accept-Ranges").value_or("");
    r.lastModified = field(header, "Last-Modified").value_or("");
    r.via = field(header, "Via").value_or("");
    r.fileName = fileNameOf(field(header, "Content-Disposition").value_or(""));
    return r;
}

}  // namespace zorvan
