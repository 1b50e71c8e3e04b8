#include "media_store.h"

#include <sys/stat.h>

#include <cctype>

namespace demo {

MediaStore::MediaStore(std::string folder) : folder_(std::move(folder)) {}

std::optional<std::string> MediaStore::clipPath(int clip) const {
    if (clip < 0 || clip >= clipCount) return std::nullopt;
    const std::string path = folder_ + "/clip" + std::to_string(clip) + ".mp4";
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    return path;
}

namespace {

bool readNumber(const std::string& text, std::size_t& at, std::int64_t& value) {
    const std::size_t start = at;
    value = 0;
    while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) {
        if (value > (INT64_MAX - 9) / 10) return false;
        value = value * 10 + (text[at++] - '0');
    }
    return at > start;
}

}  // namespace

RangeAnswer readRange(const std::string& header, std::int64_t size, ByteRange& range) {
    const std::string prefix = "bytes=";
    if (header.compare(0, prefix.size(), prefix) != 0 || header.find(',') != std::string::npos)
        return RangeAnswer::Whole;
    std::size_t at = prefix.size();
    std::int64_t first = 0, last = 0;
    const bool hasFirst = readNumber(header, at, first);
    if (at >= header.size() || header[at] != '-') return RangeAnswer::Whole;
    ++at;
    const bool hasLast = readNumber(header, at, last);
    if (at != header.size()) return RangeAnswer::Whole;
    if (!hasFirst) {  // a suffix: the last n bytes
        if (!hasLast || last == 0 || size == 0) return RangeAnswer::Unsatisfiable;
        range = {last >= size ? 0 : size - last, size - 1};
        return RangeAnswer::Part;
    }
    if (first >= size) return RangeAnswer::Unsatisfiable;
    if (hasLast && last < first) return RangeAnswer::Whole;
    range = {first, hasLast && last < size ? last : size - 1};
    return RangeAnswer::Part;
}

}  // namespace demo
