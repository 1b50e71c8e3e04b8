#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace zorvan {

// Local paths (code page 936) may hold at most this many bytes.
inline constexpr std::size_t maxLocalPathBytes = 4095;

// The size of the file at a path (UTF-8) that can be opened for reading, or -1.
std::int64_t existingFileSize(const std::string& path);

// The next name of the "(n)" renaming rule: a.mp4 -> a(1).mp4 -> a(2).mp4 ...
// a(99).mp4; a.b.mp4 -> a(1).b.mp4. Nothing when no name can be built (a
// parenthesised part longer than two characters, such as song(live).mp4;
// a number reaching 100; no room). `room` counts the name and a terminator.
std::optional<std::string> buildNextName(const std::string& name, std::size_t room);

// The file a download writes: created at its full size under a temporary
// name that no "*.mp4" listing matches (no name at all where the file
// system allows), written through one shared writable mapping (or, when
// asked or when the file system cannot reserve the space, through its
// descriptor), and given its final name only by commit(), once every byte
// is in, after the data has reached the disk. Destroying an uncommitted
// file removes it. Nothing here ever replaces an existing file.
class TargetFile {
public:
    // A size of -1 makes a file that grows as it is written, through the
    // descriptor. Nothing on failure (bad folder, no space, the final name
    // taken, a size that cannot be mapped).
    static std::unique_ptr<TargetFile> create(const std::string& finalPath, std::int64_t size, bool mapped = true,
                                              bool syncBeforeNaming = true);
    ~TargetFile();
    TargetFile(const TargetFile&) = delete;
    TargetFile& operator=(const TargetFile&) = delete;

    std::int64_t size() const { return size_; }
    const std::string& finalPath() const { return finalPath_; }

    // Stores bytes at a position; false once the file is closed, out of
    // range, or when the disk refuses them.
    bool write(std::int64_t position, const char* data, std::size_t count);

    // Closes the view, brings the data to the disk and gives the file its
    // final name; false when either fails (the name taken meanwhile, say),
    // and the data is then removed. commitError() then tells why (errno).
    bool commit();
    int commitError() const { return commitError_; }
    // Closes the view and removes the data.
    void discard();

private:
    TargetFile() = default;
    bool openUnnamed();
    bool reserve();
    void closeView();
    bool name();

    std::string finalPath_;
    std::string tempPath_;  // empty when the data has no name yet
    int fd_ = -1;
    char* view_ = nullptr;
    bool mapped_ = true;
    bool growable_ = false;
    bool sync_ = true;
    bool open_ = false;  // writes allowed
    std::int64_t size_ = 0;
    bool finished_ = false;
    int commitError_ = 0;
};

}  // namespace zorvan
