#pragma once

#include "store/file_stamp.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zorvan {

class Database;

// The SHA-256 of a file as it was saved, with the stamp it had then: while
// the stamp is the same the file is as saved; when it is not, only its
// bytes (the digest taken again) can say so.
struct FileDigest {
    std::string path;         // as the library keeps paths
    FileStamp stamp;
    std::string sha256;       // 64 lower-case hexadecimal digits
    std::int64_t taken = 0;   // seconds since the epoch
    std::int64_t checked = 0; // when it was last read again (0: never)
    bool damaged = false;     // that reading found other bytes

    // Found damaged, and not written since it was read (a file fetched
    // again in its place is not damaged, before its new digest is taken).
    bool damagedAsItIs() const {
        const std::optional<FileStamp> now = stampOf(path);
        return damaged && now && now->modifiedNs / 1'000'000'000 <= checked;
    }
};

// The digests of the library's files, by path. A digest goes with its
// file's library row (FileStore::forget).
class DigestStore {
public:
    explicit DigestStore(Database& db) : db_(db) {}

    // The digest of a file just saved (or saved again): it replaces any
    // earlier one of the path. False with `error` when the database could
    // not be written.
    bool record(const FileDigest& digest, std::string& error);
    // The same for several, in one transaction (one write to the disk).
    bool record(const std::vector<FileDigest>& digests, std::string& error);
    std::optional<FileDigest> of(const std::string& path);
    std::vector<FileDigest> all(std::string& error);
    // A reading of the file again: damaged or not, at `now`; a file found as
    // saved takes its present stamp (touched, not changed).
    bool noteChecked(const std::string& path, bool damaged, const FileStamp& stamp, std::int64_t now,
                     std::string& error);
    bool forget(const std::string& path, std::string& error);

private:
    Database& db_;
};

}  // namespace zorvan
