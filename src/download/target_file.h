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

// How a target file is kept while it is written.
struct TargetFileOptions {
    // Written through one shared writable mapping; else through the descriptor.
    bool mapped = true;
    // The data reaches the disk before the file takes its final name, and
    // write-back can be started while it is written.
    bool durable = true;
    // The file lives as finalPath + ".part" (with its record beside it) and
    // is kept there when the download stops short, to be taken up again;
    // else it has no name at all until it is complete.
    bool partFile = false;
};

// The file a download writes: created at its full size under a name that
// no "*.mp4" listing matches (or no name at all), written in place (see
// TargetFileOptions), and given its final name only by commit(), once
// every byte is in, after the data has reached the disk. A part file is
// locked while open, so two downloads never share one; closing it with
// keep() leaves it (and its record) for a later download. Destroying a
// file that was neither committed nor kept removes it. Nothing here ever
// replaces an existing final file.
class TargetFile {
public:
    // A size of -1 makes a file that grows as it is written, through the
    // descriptor (never a part file). A part file left by an earlier
    // download is replaced, record and all. Nothing on failure (bad folder,
    // no space, the final name taken, a part file in use, a size that
    // cannot be mapped).
    static std::unique_ptr<TargetFile> create(const std::string& finalPath, std::int64_t size,
                                              const TargetFileOptions& options);
    // The part file an earlier download left at finalPath + ".part", to go
    // on writing it: nothing when there is none, it is in use or it does not
    // have exactly `size` bytes.
    static std::unique_ptr<TargetFile> openPart(const std::string& finalPath, std::int64_t size,
                                                const TargetFileOptions& options);
    // A file under the final name whose bytes were found to be the start of
    // this file: renamed to the part file (never over one in use) and grown
    // to `size` bytes, to go on writing it. Nothing when it cannot be; the
    // file is then as it was, under its name.
    static std::unique_ptr<TargetFile> adoptFinal(const std::string& finalPath, std::int64_t size,
                                                  const TargetFileOptions& options);
    ~TargetFile();
    TargetFile(const TargetFile&) = delete;
    TargetFile& operator=(const TargetFile&) = delete;

    std::int64_t size() const { return size_; }
    const std::string& finalPath() const { return finalPath_; }
    bool isPartFile() const { return partFile_; }
    bool durable() const { return sync_; }

    // Stores bytes at a position; false once the file is closed, out of
    // range, or when the disk refuses them.
    bool write(std::int64_t position, const char* data, std::size_t count);
    // The same for `count` bytes waiting in a pipe (its read end), moved
    // into the file by the kernel. Through the descriptor whether or not
    // the file is mapped: both reach the same pages. Where the file system
    // cannot take bytes from a pipe they come through memory instead.
    bool writeFromPipe(std::int64_t position, int pipeOut, std::size_t count);

    // Asks the disk to start writing what has been stored so far, without
    // waiting for it, so the final flush finds little left.
    void startWriteBack();
    // Waits until everything stored so far is on the disk.
    bool syncData();

    // Closes the view, brings the data to the disk and gives the file its
    // final name (a part file's record goes); false when either fails (the
    // name taken meanwhile, say), and the data is then removed.
    // commitError() then tells why (errno).
    bool commit();
    int commitError() const { return commitError_; }
    // A part file: closes it and leaves it, with its record, where it is.
    void keep();
    // Closes the view and removes the data (a part file's record too).
    void discard();

private:
    TargetFile() = default;
    static std::unique_ptr<TargetFile> prepare(const std::string& finalPath, std::int64_t size,
                                               const TargetFileOptions& options);
    bool openUnnamed();
    bool openPartFile(bool existing);
    bool reserve();
    bool map();
    bool writeThroughMemory(std::int64_t position, int pipeOut, std::size_t count);
    void closeView();
    bool name();
    void closeDescriptor();

    std::string finalPath_;
    std::string tempPath_;  // empty when the data has no name yet
    int fd_ = -1;
    char* view_ = nullptr;
    bool mapped_ = true;
    bool growable_ = false;
    bool sync_ = true;
    bool partFile_ = false;
    bool open_ = false;  // writes allowed
    std::int64_t size_ = 0;
    bool finished_ = false;
    int commitError_ = 0;
};

// Whether a live download holds the part file beside finalPath.
bool partFileInUse(const std::string& finalPath);

}  // namespace zorvan
