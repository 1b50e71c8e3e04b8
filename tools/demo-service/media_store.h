#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace demo {

// The playable clips the media addresses point at, read from a folder
// holding clip0.mp4, clip1.mp4, clip2.mp4 (small, medium, large).
class MediaStore {
public:
    explicit MediaStore(std::string folder);
    // The clip's path, or nothing when it is missing.
    std::optional<std::string> clipPath(int clip) const;
    static constexpr int clipCount = 3;

private:
    std::string folder_;
};

// A byte range asked for with "Range: bytes=...", already fitted to a size.
struct ByteRange {
    std::int64_t first = 0;
    std::int64_t last = 0;  // inclusive
};

enum class RangeAnswer { Whole, Part, Unsatisfiable };

// Reads a Range header value against a resource size. Forms: "bytes=a-b",
// "bytes=a-", "bytes=-n". Several ranges, or anything unreadable, are
// answered with the whole resource, as servers commonly do.
RangeAnswer readRange(const std::string& header, std::int64_t size, ByteRange& range);

}  // namespace demo
