#include "download/target_file.h"

#include "download/part_record.h"
#include "text/folder_of.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace zorvan {

std::int64_t existingFileSize(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    const off_t end = ::lseek(fd, 0, SEEK_END);
    ::close(fd);
    return end < 0 ? -1 : static_cast<std::int64_t>(end);
}

std::optional<std::string> buildNextName(const std::string& name, std::size_t room) {
    const auto dot = name.find('.');
    std::string stem = name.substr(0, dot);
    const std::string extension = dot == std::string::npos ? std::string() : name.substr(dot + 1);
    std::string number = "1";
    const auto open = stem.rfind('(');
    if (!stem.empty() && stem.back() == ')' && open != std::string::npos) {
        const std::string inside = stem.substr(open + 1, stem.size() - open - 2);
        if (inside.empty() || inside.size() > 2) return std::nullopt;
        const bool digits = inside.find_first_not_of("0123456789") == std::string::npos;
        const int k = digits ? std::stoi(inside) : 0;
        if (k >= 1) {
            if (k + 1 >= 100) return std::nullopt;
            number = std::to_string(k + 1);
        } else {
            number = inside;  // not a number (or 0): the same text again
        }
        stem.resize(open);
    }
    std::string next = stem + "(" + number + ")";
    if (dot != std::string::npos) next += "." + extension;
    if (next.size() + 1 > room) return std::nullopt;
    return next;
}

namespace {

// Bytes per write call. The page cache sizes a new folio after the write
// that creates it; 64 KiB writes took large folios, which on this kind of
// virtual machine come from memory the host has taken back, and copying
// into them cost most of the download's CPU (1 GiB over 16 rate-capped
// connections: 2.74 s with 64 KiB writes, 2.58 s with 16 KiB, against an
// ideal 2.56 s; unlimited, 4 KiB writes lost to the extra calls).
constexpr std::size_t writePiece = 16 * 1024;

}  // namespace

// An unnamed file in the target's folder, so nothing is left if we crash;
// where the file system has none, a name the listing skips.
bool TargetFile::openUnnamed() {
    fd_ = ::open(folderOf(finalPath_).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0644);
    for (int n = 0; n < 100 && fd_ < 0; ++n) {
        const std::string temp = finalPath_ + (n == 0 ? std::string() : "." + std::to_string(n)) + ".tmp.part";
        fd_ = ::open(temp.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0644);
        if (fd_ >= 0) tempPath_ = temp;
        else if (errno != EEXIST) break;
    }
    return fd_ >= 0;
}

// The part file beside the final name, opened (made, unless `existing`)
// and locked. A lock taken on a file whose name was removed or replaced
// meanwhile would guard nothing, so the name is checked again under it.
bool TargetFile::openPartFile(bool existing) {
    const std::string part = partPathOf(finalPath_);
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int fd = ::open(part.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | (existing ? 0 : O_CREAT), 0644);
        if (fd < 0) return false;
        struct stat byFd {}, byName {};
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::fstat(fd, &byFd) != 0 || !S_ISREG(byFd.st_mode)) {
            ::close(fd);
            return false;  // another download's, or not a file
        }
        if (::stat(part.c_str(), &byName) == 0 && byName.st_dev == byFd.st_dev && byName.st_ino == byFd.st_ino) {
            fd_ = fd;
            tempPath_ = part;
            return true;
        }
        ::close(fd);
    }
    return false;
}

// Reserves the blocks now, so a full disk shows up here and not as a fault
// while writing through the mapping. Where the file system cannot reserve
// them, the file is written through its descriptor, whose writes report a
// full disk as an error.
bool TargetFile::reserve() {
    if (size_ == 0) return true;
    const int error = ::posix_fallocate(fd_, 0, size_);
    if (error == 0) return true;
    if (error != EOPNOTSUPP && error != EINVAL) {
        errno = error;  // posix_fallocate answers with it and leaves errno alone
        return false;
    }
    mapped_ = false;
    return ::ftruncate(fd_, size_) == 0;
}

bool TargetFile::map() {
    if (size_ == 0 || !mapped_) return true;
    void* view = ::mmap(nullptr, static_cast<std::size_t>(size_), PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0);
    if (view == MAP_FAILED) return false;
    view_ = static_cast<char*>(view);
    return true;
}

std::unique_ptr<TargetFile> TargetFile::prepare(const std::string& finalPath, std::int64_t size,
                                                const TargetFileOptions& options) {
    // errno says why for the caller's message.
    if (size < -1 || finalPath.size() > maxLocalPathBytes) {
        errno = size < -1 ? EFBIG : ENAMETOOLONG;
        return nullptr;
    }
    struct stat existing {};
    if (::lstat(finalPath.c_str(), &existing) == 0) {  // never replace a file
        errno = EEXIST;
        return nullptr;
    }
    // A name the file system cannot hold would fail only at the very end.
    const long nameMax = ::pathconf(folderOf(finalPath).c_str(), _PC_NAME_MAX);
    const auto slash = finalPath.rfind('/');
    const std::size_t nameBytes = slash == std::string::npos ? finalPath.size() : finalPath.size() - slash - 1;
    if (nameMax > 0 && nameBytes > static_cast<std::size_t>(nameMax)) {
        errno = ENAMETOOLONG;
        return nullptr;
    }
    // Part names are shortened to fit 255 bytes; on a file system with a
    // shorter limit the file is still saved, only without a part file to
    // take up later.
    const std::string recordTemp = recordPathOf(finalPath) + ".new";
    const std::size_t partNameBytes = recordTemp.size() - recordTemp.rfind('/') - 1;
    const bool partFits = nameMax <= 0 || partNameBytes <= static_cast<std::size_t>(nameMax);

    std::unique_ptr<TargetFile> file(new TargetFile);
    file->finalPath_ = finalPath;
    file->growable_ = size < 0;
    file->size_ = std::max<std::int64_t>(size, 0);
    file->mapped_ = options.mapped && !file->growable_;
    file->sync_ = options.durable;
    file->partFile_ = options.partFile && !file->growable_ && partFits;
    return file;
}

std::unique_ptr<TargetFile> TargetFile::create(const std::string& finalPath, std::int64_t size,
                                               const TargetFileOptions& options) {
    std::unique_ptr<TargetFile> file = prepare(finalPath, size, options);
    if (!file) return nullptr;
    // Removing what was made must not hide why it failed.
    const auto failed = [&file] {
        const int why = errno;
        file.reset();
        errno = why;
        return nullptr;
    };
    if (file->partFile_) {
        if (!file->openPartFile(false)) return failed();
        // What an earlier download left there must never be taken for ours.
        ::unlink(recordPathOf(finalPath).c_str());
        if (::ftruncate(file->fd_, 0) != 0) return failed();
    } else if (!file->openUnnamed()) {
        return failed();
    }
    if (!file->growable_ && !file->reserve()) return failed();  // the destructor removes the data
    if (!file->map()) return failed();
    file->open_ = true;
    return file;
}

std::unique_ptr<TargetFile> TargetFile::openPart(const std::string& finalPath, std::int64_t size,
                                                 const TargetFileOptions& options) {
    TargetFileOptions part = options;
    part.partFile = true;
    std::unique_ptr<TargetFile> file = prepare(finalPath, size, part);
    if (!file || !file->partFile_ || !file->openPartFile(true)) return nullptr;
    struct stat info {};
    // A part of another size is another download's: not ours to touch.
    if (::fstat(file->fd_, &info) != 0 || info.st_size != size || !file->reserve() || !file->map()) {
        file->keep();
        return nullptr;
    }
    file->open_ = true;
    return file;
}

std::unique_ptr<TargetFile> TargetFile::adoptFinal(const std::string& finalPath, std::int64_t size,
                                                   const TargetFileOptions& options) {
    const std::int64_t held = existingFileSize(finalPath);
    if (held < 0 || held > size || partFileInUse(finalPath)) {
        errno = held < 0 ? ENOENT : EBUSY;
        return nullptr;
    }
    const std::string part = partPathOf(finalPath);
    // Whatever an earlier download left beside it is older than this.
    ::unlink(part.c_str());
    ::unlink(recordPathOf(finalPath).c_str());
    if (::renameat2(AT_FDCWD, finalPath.c_str(), AT_FDCWD, part.c_str(), RENAME_NOREPLACE) != 0) return nullptr;
    TargetFileOptions asPart = options;
    asPart.partFile = true;
    std::unique_ptr<TargetFile> file = prepare(finalPath, size, asPart);
    if (file && file->partFile_ && file->openPartFile(true)) {
        if (file->reserve() && file->map()) {
            file->open_ = true;
            return file;
        }
        file->keep();
    }
    // The file goes back under its name as it was.
    const int why = errno;
    if (::truncate(part.c_str(), held) == 0)
        ::renameat2(AT_FDCWD, part.c_str(), AT_FDCWD, finalPath.c_str(), RENAME_NOREPLACE);
    errno = why;
    return nullptr;
}

TargetFile::~TargetFile() {
    if (!finished_) discard();
}

bool TargetFile::write(std::int64_t position, const char* data, std::size_t count) {
    if (count == 0) return true;
    const std::int64_t end = position + static_cast<std::int64_t>(count);
    if (!open_ || position < 0 || (end > size_ && !growable_)) return false;
    if (mapped_) {
        std::memcpy(view_ + position, data, count);
        return true;
    }
    while (count > 0) {
        const ssize_t n = ::pwrite(fd_, data, std::min(count, writePiece), position);
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) errno = ENOSPC;  // nothing written and no reason given: the disk is full
        if (n <= 0) return false;
        data += n;
        count -= static_cast<std::size_t>(n);
        position += n;
    }
    if (growable_) size_ = std::max(size_, end);  // one writer only: a body without a size
    return true;
}

bool TargetFile::writeFromPipe(std::int64_t position, int pipeOut, std::size_t count) {
    if (count == 0) return true;
    const std::int64_t end = position + static_cast<std::int64_t>(count);
    if (!open_ || position < 0 || (end > size_ && !growable_)) return false;
    loff_t at = position;
    while (count > 0) {
        const ssize_t n = ::splice(pipeOut, nullptr, fd_, &at, count, SPLICE_F_MOVE);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EINVAL && at == position) return writeThroughMemory(at, pipeOut, count);
        if (n == 0) errno = ENOSPC;
        if (n <= 0) return false;
        count -= static_cast<std::size_t>(n);
    }
    if (growable_) size_ = std::max(size_, end);
    return true;
}

bool TargetFile::writeThroughMemory(std::int64_t position, int pipeOut, std::size_t count) {
    char piece[writePiece];
    while (count > 0) {
        const ssize_t n = ::read(pipeOut, piece, std::min(count, sizeof piece));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        if (!write(position, piece, static_cast<std::size_t>(n))) return false;
        position += n;
        count -= static_cast<std::size_t>(n);
    }
    return true;
}

void TargetFile::startWriteBack() {
    if (fd_ >= 0) ::sync_file_range(fd_, 0, 0, SYNC_FILE_RANGE_WRITE);
}

bool TargetFile::syncData() { return fd_ >= 0 && ::fdatasync(fd_) == 0; }

void TargetFile::closeView() {
    open_ = false;
    if (view_) ::munmap(view_, static_cast<std::size_t>(size_));
    view_ = nullptr;
}

void TargetFile::closeDescriptor() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool TargetFile::commit() {
    if (finished_) return false;
    closeView();
    // A power cut after the name appears must not leave a file of holes.
    if ((sync_ && ::fsync(fd_) != 0) || !name()) {
        commitError_ = errno;
        discard();
        return false;
    }
    if (partFile_) ::unlink(recordPathOf(finalPath_).c_str());
    if (sync_) {
        // The new name itself, so the file is found after a power cut.
        const int folder = ::open(folderOf(finalPath_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folder >= 0) {
            ::fsync(folder);
            ::close(folder);
        }
    }
    closeDescriptor();
    finished_ = true;
    return true;
}

bool TargetFile::name() {
    if (tempPath_.empty()) {
        // link() fails when the name exists, so nothing is ever replaced.
        const std::string self = "/proc/self/fd/" + std::to_string(fd_);
        return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, finalPath_.c_str(), AT_SYMLINK_FOLLOW) == 0;
    }
    bool named = ::link(tempPath_.c_str(), finalPath_.c_str()) == 0;
    if (named)
        ::unlink(tempPath_.c_str());
    else if (errno != EEXIST)  // file systems without hard links
        named = ::renameat2(AT_FDCWD, tempPath_.c_str(), AT_FDCWD, finalPath_.c_str(), RENAME_NOREPLACE) == 0;
    if (named) tempPath_.clear();
    return named;
}

void TargetFile::keep() {
    if (finished_) return;
    closeView();
    closeDescriptor();
    tempPath_.clear();
    finished_ = true;
}

void TargetFile::discard() {
    closeView();
    if (!tempPath_.empty()) ::unlink(tempPath_.c_str());
    if (partFile_ && fd_ >= 0) ::unlink(recordPathOf(finalPath_).c_str());
    tempPath_.clear();
    closeDescriptor();
    finished_ = true;
}

bool partFileInUse(const std::string& finalPath) {
    const int fd = ::open(partPathOf(finalPath).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;
    const bool busy = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return busy;
}

}  // namespace zorvan
