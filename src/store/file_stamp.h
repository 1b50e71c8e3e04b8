#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <optional>
#include <string>

namespace zorvan {

// A file as it stands on the disk: its size and the time it last changed
// (nanoseconds since the epoch). What the library notes of a file holds for
// it as long as its stamp is the same.
struct FileStamp {
    std::int64_t size = -1;
    std::int64_t modifiedNs = 0;
    bool operator==(const FileStamp&) const = default;
};

// The stamp of the regular file at `path`; nothing when there is none.
inline std::optional<FileStamp> stampOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return FileStamp{st.st_size, std::int64_t{st.st_mtim.tv_sec} * 1'000'000'000 + st.st_mtim.tv_nsec};
}

}  // namespace zorvan
