#include "server/service/library_files.h"

#include "media_files/work_sidecars.h"
#include "store/known_files.h"
#include "store/library_db.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <map>
#include <utility>

namespace zorvan {

namespace {

bool endsWith(const std::string& text, const char* end) {
    const std::size_t n = std::strlen(end);
    return text.size() >= n && text.compare(text.size() - n, n, end) == 0;
}

// The folder as the library writes paths: absolute, without "." or "..".
std::string folderPrefix(const std::string& folder) {
    std::string prefix = libraryPath(folder);
    if (prefix.empty() || prefix.back() != '/') prefix += '/';
    return prefix;
}

}  // namespace

std::string insideFolder(const std::string& folder, const std::string& path) {
    if (folder.empty() || path.empty()) return {};
    const std::string prefix = folderPrefix(folder);
    const std::string full = libraryPath(path);
    if (full.size() <= prefix.size() || full.compare(0, prefix.size(), prefix) != 0) return {};
    return full.substr(prefix.size());
}

namespace {

// The kernel resolves every part beneath the folder: a ".." or a symlink
// that leads out fails, whatever was renamed meanwhile.
int openUnder(const std::string& folder, const std::string& relative, std::uint64_t flags) {
    if (relative.empty() || relative.front() == '/' || relative.find('\0') != std::string::npos) return -1;
    const int dir = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return -1;
    open_how how{};
    how.flags = flags | O_CLOEXEC;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
    const int fd = static_cast<int>(::syscall(SYS_openat2, dir, relative.c_str(), &how, sizeof how));
    ::close(dir);
    return fd;
}

}  // namespace

int openBeneath(const std::string& folder, const std::string& relative) {
    const int fd = openUnder(folder, relative, O_RDONLY | O_NOCTTY);
    if (fd < 0) return -1;
    struct stat about {};
    if (::fstat(fd, &about) != 0 || !S_ISREG(about.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

const char* integrityName(Integrity integrity) {
    switch (integrity) {
        case Integrity::AsSaved: return "asSaved";
        case Integrity::Changed: return "changed";
        case Integrity::Damaged: return "damaged";
        case Integrity::NoDigest: return "noDigest";
    }
    return "noDigest";
}

// Judged from the stamps alone: a listing of thousands reads no file.
Integrity LibraryFile::integrity() const {
    if (!digest) return Integrity::NoDigest;
    if (digest->damagedAsItIs()) return Integrity::Damaged;
    if (digest->damaged) return Integrity::Changed;  // written since it was found damaged
    return stamp && *stamp == digest->stamp ? Integrity::AsSaved : Integrity::Changed;
}

std::vector<LibraryFile> libraryFiles(const std::string& dbPath, const std::string& folder, std::string& error) {
    std::vector<LibraryFile> files;
    std::unique_ptr<LibraryDb> db = LibraryDb::open(dbPath, error);
    if (!db) return files;
    std::map<std::string, FileDigest> digests;
    for (FileDigest& d : db->digests().all(error)) {
        std::string path = libraryPath(d.path);
        digests.emplace(std::move(path), std::move(d));
    }
    for (LibraryEntry& entry : db->files().entries(error)) {
        std::string relative = insideFolder(folder, entry.file.path);
        if (relative.empty()) continue;
        LibraryFile file{std::move(entry), std::move(relative)};
        if (const auto digest = digests.find(libraryPath(file.entry.file.path)); digest != digests.end())
            file.digest = digest->second;
        file.stamp = stampOf(file.entry.file.path);
        if (file.stamp) {
            file.present = true;
            file.size = file.stamp->size;
            file.modified = file.stamp->modifiedNs / 1'000'000'000;
            file.posterNote = db->posterNotes().current(file.entry.file.path);
        }
        files.push_back(std::move(file));
    }
    return files;
}

OpenedFile::~OpenedFile() {
    if (fd_ >= 0) ::close(fd_);
}

OpenedFile::OpenedFile(OpenedFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      size_(other.size_),
      modified_(other.modified_),
      name_(std::move(other.name_)) {}

OpenedFile& OpenedFile::operator=(OpenedFile&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        size_ = other.size_;
        modified_ = other.modified_;
        name_ = std::move(other.name_);
    }
    return *this;
}

OpenedFile openLibraryFile(const std::string& dbPath, const std::string& folder, std::int64_t id, bool poster) {
    std::string error;
    std::unique_ptr<LibraryDb> db = LibraryDb::open(dbPath, error);
    if (!db) return {};
    const std::optional<LibraryEntry> entry = db->files().entry(id, error);
    if (!entry) return {};
    const std::string video = insideFolder(folder, entry->file.path);
    if (video.empty()) return {};
    const std::string relative = poster ? posterPathOf(video) : video;
    int fd = openBeneath(libraryPath(folder), relative);
    // A poster made without media-server files is in the user's cache,
    // under a name the program made: no path of a client's reaches it.
    if (fd < 0 && poster)
        fd = ::open(cachedPosterPathOf(entry->file.path).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return {};
    struct stat about {};
    ::fstat(fd, &about);
    return OpenedFile(fd, about.st_size, about.st_mtime, relative);
}

bool deleteLibraryFile(const std::string& dbPath, const std::string& folder, std::int64_t id, std::string& error) {
    std::unique_ptr<LibraryDb> db = LibraryDb::open(dbPath, error);
    if (!db) return false;
    const std::optional<LibraryEntry> entry = db->files().entry(id, error);
    const std::string relative = entry ? insideFolder(folder, entry->file.path) : std::string();
    if (relative.empty()) return false;
    // The name goes from its own folder, opened beneath the library's.
    const std::size_t slash = relative.rfind('/');
    const int dir = slash == std::string::npos ? ::open(libraryPath(folder).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC)
                                               : openUnder(libraryPath(folder), relative.substr(0, slash),
                                                           O_PATH | O_DIRECTORY);
    const std::string name = slash == std::string::npos ? relative : relative.substr(slash + 1);
    const bool gone = dir >= 0 && (::unlinkat(dir, name.c_str(), 0) == 0 || errno == ENOENT);
    const int why = errno;
    // What a media server read beside it goes with it.
    if (gone) {
        ::unlinkat(dir, posterPathOf(name).c_str(), 0);
        ::unlinkat(dir, nfoPathOf(name).c_str(), 0);
    }
    if (dir >= 0) ::close(dir);
    if (!gone) {
        error = "cannot delete " + entry->file.path + ": " + std::strerror(dir >= 0 ? why : ENOENT);
        return false;
    }
    db->files().forget(id, error);
    return error.empty();
}

const char* videoType(const std::string& name) {
    if (endsWith(name, ".mp4") || endsWith(name, ".m4v")) return "video/mp4";
    if (endsWith(name, ".flv")) return "video/x-flv";
    if (endsWith(name, ".webm")) return "video/webm";
    if (endsWith(name, ".mkv")) return "video/x-matroska";
    if (endsWith(name, ".mov")) return "video/quicktime";
    return "application/octet-stream";
}

}  // namespace zorvan
