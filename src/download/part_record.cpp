#include "download/part_record.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>

namespace zorvan {

namespace {

constexpr std::string_view versionLine = "zorvan-part 1";
// A record is a few lines; anything much larger is not one of ours.
constexpr std::size_t maxRecordBytes = 1 << 20;
constexpr std::int64_t maxFileSize = std::int64_t{1} << 62;

std::uint64_t fnv1a(std::string_view text) {
    std::uint64_t hash = 1469598103934665603ULL;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ULL;
    }
    return hash;
}

std::string hex16(std::uint64_t value) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

bool printable(std::string_view value) {
    return std::none_of(value.begin(), value.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u < 0x20 || u == 0x7f;
    });
}

bool readInt(std::string_view text, std::int64_t& out) {
    if (text.empty() || text.size() > 19) return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
    return error == std::errc() && end == text.data() + text.size() && out >= 0;
}

std::optional<PartRecord> fail(std::string* why, const char* reason) {
    if (why) *why = reason;
    return std::nullopt;
}

// Splits "key value" at the first space; false when the key is another.
bool valueOf(std::string_view line, std::string_view key, std::string_view& value) {
    if (line.size() < key.size() + 1 || line.substr(0, key.size()) != key || line[key.size()] != ' ') return false;
    value = line.substr(key.size() + 1);
    return true;
}

}  // namespace

std::vector<ByteRange> joinRanges(std::vector<ByteRange> ranges) {
    std::erase_if(ranges, [](const ByteRange& r) { return r.end <= r.begin; });
    std::sort(ranges.begin(), ranges.end(), [](const ByteRange& a, const ByteRange& b) { return a.begin < b.begin; });
    std::vector<ByteRange> joined;
    for (const ByteRange& r : ranges) {
        if (!joined.empty() && r.begin <= joined.back().end)
            joined.back().end = std::max(joined.back().end, r.end);
        else
            joined.push_back(r);
    }
    return joined;
}

std::vector<ByteRange> missingRanges(const std::vector<ByteRange>& done, std::int64_t size) {
    std::vector<ByteRange> missing;
    std::int64_t at = 0;
    for (const ByteRange& r : joinRanges(done)) {
        if (r.begin >= size) break;
        if (r.begin > at) missing.push_back({at, r.begin});
        at = std::max(at, r.end);
    }
    if (at < size) missing.push_back({at, size});
    return missing;
}

std::int64_t PartRecord::doneBytes() const {
    std::int64_t total = 0;
    for (const ByteRange& r : done) total += r.length();
    return total;
}

namespace {

// The final path itself, or, when its name is too long to carry the longest
// suffix within the file system's name limit, the same folder and
// extension with the name cut (at a UTF-8 character) and marked with a hash
// of the whole name, so two long names that begin alike stay apart.
std::string partBaseOf(const std::string& finalPath) {
    const auto slash = finalPath.rfind('/');
    const std::size_t nameAt = slash == std::string::npos ? 0 : slash + 1;
    const std::string_view name = std::string_view(finalPath).substr(nameAt);
    if (name.size() + partNameSuffixBytes <= maxNameBytes) return finalPath;
    const auto dot = name.rfind('.');
    std::string_view extension = dot == std::string_view::npos || dot == 0 ? std::string_view() : name.substr(dot);
    if (extension.size() > 16) extension = {};
    const std::string mark = "~" + hex16(fnv1a(name)).substr(0, 8);
    std::size_t keep = maxNameBytes - partNameSuffixBytes - mark.size() - extension.size();
    while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) --keep;
    return finalPath.substr(0, nameAt) + std::string(name.substr(0, keep)) + mark + std::string(extension);
}

}  // namespace

std::string partPathOf(const std::string& finalPath) { return partBaseOf(finalPath) + ".part"; }
std::string recordPathOf(const std::string& finalPath) { return partBaseOf(finalPath) + ".part.state"; }

std::optional<std::string> formatPartRecord(const PartRecord& record) {
    if (!printable(record.address) || !printable(record.etag) || !printable(record.lastModified)) return std::nullopt;
    if (record.size < 0 || record.size > maxFileSize) return std::nullopt;
    std::string text(versionLine);
    text += "\naddress " + record.address;
    text += "\nsize " + std::to_string(record.size);
    text += "\netag " + record.etag;
    text += "\nmodified " + record.lastModified;
    for (const ByteRange& r : joinRanges(record.done)) {
        if (r.begin < 0 || r.end > record.size) return std::nullopt;
        text += "\ndone " + std::to_string(r.begin) + " " + std::to_string(r.end);
    }
    text += "\n";
    text += "check " + hex16(fnv1a(text)) + "\n";
    return text;
}

std::optional<PartRecord> parsePartRecord(std::string_view text, std::string* why) {
    if (text.size() > maxRecordBytes) return fail(why, "the record is too large");
    const auto checkAt = text.rfind("check ");
    if (checkAt == std::string_view::npos || (checkAt > 0 && text[checkAt - 1] != '\n'))
        return fail(why, "the record is incomplete");
    if (text.substr(checkAt) != "check " + hex16(fnv1a(text.substr(0, checkAt))) + "\n")
        return fail(why, "the record is damaged");
    const std::string_view body = text.substr(0, checkAt);

    std::vector<std::string_view> lines;
    for (std::size_t at = 0; at < body.size();) {
        const auto end = body.find('\n', at);
        lines.push_back(body.substr(at, end - at));
        at = end + 1;
    }
    if (lines.empty() || lines[0] != versionLine) return fail(why, "the record is of another program or version");
    if (lines.size() < 5) return fail(why, "the record is incomplete");

    PartRecord record;
    std::string_view value;
    if (!valueOf(lines[1], "address", value) || value.empty()) return fail(why, "the record has no address");
    record.address = value;
    if (!valueOf(lines[2], "size", value) || !readInt(value, record.size) || record.size > maxFileSize)
        return fail(why, "the record has no valid size");
    if (!valueOf(lines[3], "etag", value) && lines[3] != "etag") return fail(why, "the record has no validator line");
    record.etag = lines[3] == "etag" ? std::string() : std::string(value);
    if (!valueOf(lines[4], "modified", value) && lines[4] != "modified")
        return fail(why, "the record has no validator line");
    record.lastModified = lines[4] == "modified" ? std::string() : std::string(value);
    for (std::size_t i = 5; i < lines.size(); ++i) {
        std::string_view range;
        if (!valueOf(lines[i], "done", range)) return fail(why, "the record has an unknown line");
        const auto space = range.find(' ');
        ByteRange r;
        if (space == std::string_view::npos || !readInt(range.substr(0, space), r.begin) ||
            !readInt(range.substr(space + 1), r.end) || r.begin >= r.end || r.end > record.size)
            return fail(why, "the record has a range outside the file");
        record.done.push_back(r);
    }
    record.done = joinRanges(std::move(record.done));
    // What this program never writes it does not take up either: a value
    // with a control character is a damaged or foreign record.
    if (!printable(record.address) || !printable(record.etag) || !printable(record.lastModified))
        return fail(why, "the record holds a control character");
    return record;
}

std::optional<PartRecord> loadPartRecord(const std::string& path, std::string* why) {
    if (why) why->clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        // No record, or none that a name this long could have had.
        if (errno != ENOENT && errno != ENAMETOOLONG) return fail(why, "the record cannot be read");
        return std::nullopt;
    }
    std::string text;
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
        if (text.size() > maxRecordBytes) break;
    }
    ::close(fd);
    return parsePartRecord(text, why);
}

bool savePartRecord(const std::string& path, const PartRecord& record, bool durable) {
    const auto text = formatPartRecord(record);
    if (!text) return false;
    const std::string temp = path + ".new";
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) return false;
    std::size_t written = 0;
    while (written < text->size()) {
        const ssize_t n = ::write(fd, text->data() + written, text->size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        written += static_cast<std::size_t>(n);
    }
    const bool ok = written == text->size() && (!durable || ::fdatasync(fd) == 0);
    ::close(fd);
    if (!ok || ::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace zorvan
