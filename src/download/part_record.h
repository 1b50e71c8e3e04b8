#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zorvan {

// Bytes [begin, end) of a file.
struct ByteRange {
    std::int64_t begin = 0;
    std::int64_t end = 0;
    std::int64_t length() const { return end - begin; }
    bool operator==(const ByteRange&) const = default;
};

// Sorted, with empty ranges dropped and touching or overlapping ones joined.
std::vector<ByteRange> joinRanges(std::vector<ByteRange> ranges);
// The parts of [0, size) that `done` (joined) leaves out.
std::vector<ByteRange> missingRanges(const std::vector<ByteRange>& done, std::int64_t size);

// What an unfinished download keeps beside its part file so it can be
// taken up again: which address, which version of the file (size and the
// server's validators) and which bytes are on the disk.
struct PartRecord {
    std::string address;       // as the download was started with (before redirections)
    std::int64_t size = 0;
    std::string etag;          // as the server gave it; empty: none
    std::string lastModified;  // the same
    std::vector<ByteRange> done;  // joined, within [0, size)

    std::int64_t doneBytes() const;
};

// How many bytes the longest of the names beside a final path (the
// record's temporary one) adds to the final name.
inline constexpr std::size_t partNameSuffixBytes = sizeof(".part.state.new") - 1;
// The longest file name the file systems we write to hold.
inline constexpr std::size_t maxNameBytes = 255;

// The names beside a download's final path (UTF-8): the file in progress
// and its record. Neither ends in the final extension, so listings of
// finished files never see them. A final name too long to take the
// suffixes is shortened for them (keeping its extension), so every
// download can be stopped and taken up again.
std::string partPathOf(const std::string& finalPath);
std::string recordPathOf(const std::string& finalPath);

// The record as text: a version line, one value per line, and a check sum
// over all of it, so a torn or foreign file is never mistaken for one.
// Nothing when a value holds a line break or a control character.
std::optional<std::string> formatPartRecord(const PartRecord& record);
// Nothing, with the reason in `why` (UTF-8), when the text is not a whole
// record of this version.
std::optional<PartRecord> parsePartRecord(std::string_view text, std::string* why = nullptr);

// Reads the record at `path`: nothing when there is none or it cannot be
// used (`why` then says which; empty when there was no file at all).
std::optional<PartRecord> loadPartRecord(const std::string& path, std::string* why = nullptr);
// Replaces the record at `path` at once: a temporary file beside it,
// brought to the disk when `durable`, then renamed over it.
bool savePartRecord(const std::string& path, const PartRecord& record, bool durable);

}  // namespace zorvan
