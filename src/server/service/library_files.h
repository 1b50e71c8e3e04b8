#pragma once

#include "store/digest_store.h"
#include "store/file_store.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zorvan {

// Whether a file is as it was saved, as far as the library can tell without
// reading it: its digest and the stamp it was taken with, and what the last
// read-through found.
enum class Integrity {
    AsSaved,   // the stamp is the digest's, and no read-through found it damaged
    Changed,   // its size or time differ since the digest was taken: not read again yet
    Damaged,   // the last read-through found other bytes, and it was not written since
    NoDigest,  // saved before digests were kept, or not saved by Zorvan
};
const char* integrityName(Integrity integrity);

// A file of the library as the home server shows it: only files inside its
// download folder are its library.
struct LibraryFile {
    LibraryEntry entry;
    std::string relative;   // its path inside the folder
    bool present = false;   // the file is there
    std::int64_t size = -1;
    std::int64_t modified = 0;  // seconds since the epoch
    std::optional<std::string> posterNote{};  // why no poster can be made of it, as the library notes
    std::optional<FileStamp> stamp{};         // when present
    std::optional<FileDigest> digest{};       // taken when it was saved (or by a read-through)
    Integrity integrity() const;
};

// The library's files inside `folder`, newest first; `error` when the
// library cannot be read.
std::vector<LibraryFile> libraryFiles(const std::string& dbPath, const std::string& folder, std::string& error);

// A library file opened for reading, closed with it.
class OpenedFile {
public:
    OpenedFile() = default;
    OpenedFile(int fd, std::int64_t size, std::int64_t modified, std::string name)
        : fd_(fd), size_(size), modified_(modified), name_(std::move(name)) {}
    ~OpenedFile();
    OpenedFile(OpenedFile&& other) noexcept;
    OpenedFile& operator=(OpenedFile&& other) noexcept;
    OpenedFile(const OpenedFile&) = delete;
    OpenedFile& operator=(const OpenedFile&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    std::int64_t size() const { return size_; }
    std::int64_t modified() const { return modified_; }
    const std::string& name() const { return name_; }

private:
    int fd_ = -1;
    std::int64_t size_ = 0;
    std::int64_t modified_ = 0;
    std::string name_;
};

// Opens the file of library entry `id` when it lies inside `folder`: the
// path comes from the library, never from a client, and is opened beneath
// the folder so that no "..", symlink or renamed folder leads out of it.
// Not open when there is no such entry or file, or it leads out.
// `poster`: the work's poster beside it instead (NAME-poster.jpg).
OpenedFile openLibraryFile(const std::string& dbPath, const std::string& folder, std::int64_t id, bool poster = false);

// A path's place inside `folder` ("a/b.mp4"); empty when it is not inside.
std::string insideFolder(const std::string& folder, const std::string& path);

// Opens `relative` beneath the folder `folder` (read only, a regular file);
// -1 when it cannot be opened or would lead out of the folder.
int openBeneath(const std::string& folder, const std::string& relative);

// Deletes the file of entry `id` (inside `folder`) and forgets its row.
// False when there is no such entry; `error` when it could not be deleted.
bool deleteLibraryFile(const std::string& dbPath, const std::string& folder, std::int64_t id, std::string& error);

// The media type a video file's name says ("video/mp4").
const char* videoType(const std::string& name);

}  // namespace zorvan
