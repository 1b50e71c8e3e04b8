#include "player/file_hooks.h"

#include "hook/file_api_hook.h"
#include "player/file_layer.h"
#include "player/memory_movies.h"
#include "text/ascii_case.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <mutex>

namespace zorvan {

namespace {

std::mutex openLock;  // the open handler runs whole under it
std::string ownPath;
FileApiHook openHook, findHook, attributesHook;

bool sameIgnoringCase(const char* a, const std::string& b) { return a && asciiLower(a) == asciiLower(b); }
bool isMemoryMoviePath(const char* path) { return sameIgnoringCase(path, memoryMoviePath); }

// A descriptor that reads the movie from its start: an unnamed file in
// memory, which, unlike a pipe, holds a movie of any size without a reader.
int movieDescriptor(const std::string& movie) {
    const int fd = ::memfd_create("zorvan-movie", MFD_CLOEXEC);
    if (fd < 0) return -1;
    for (std::size_t written = 0; written < movie.size();) {
        const ssize_t n = ::write(fd, movie.data() + written, movie.size() - written);
        if (n <= 0) {
            ::close(fd);
            return -1;
        }
        written += static_cast<std::size_t>(n);
    }
    ::lseek(fd, 0, SEEK_SET);
    return fd;
}

int openHandler(const char* path) {
    std::lock_guard lock(openLock);
    if (sameIgnoringCase(path, ownPath))
        if (auto movie = takeMemoryMovie()) return movieDescriptor(*movie);
    return fileOpenDirect(path);
}

bool findHandler(const char* path, FoundFile* found) {
    if (isMemoryMoviePath(path)) {
        if (const auto size = frontMemoryMovieSize()) {
            if (found) *found = FoundFile{ownPath, static_cast<std::int64_t>(*size), archiveAttribute};
            return true;
        }
    }
    return fileFindDirect(path, found);
}

std::uint32_t attributesHandler(const char* path) {
    if (isMemoryMoviePath(path) && frontMemoryMovieSize()) return archiveAttribute;
    return fileAttributesDirect(path);
}

}  // namespace

bool installFileHooks(const std::string& programPath) {
    ownPath = programPath;
    bool all = openHook.installed() || openHook.install(reinterpret_cast<void*>(&fileOpen), reinterpret_cast<void*>(&openHandler));
    all = (findHook.installed() || findHook.install(reinterpret_cast<void*>(&fileFind), reinterpret_cast<void*>(&findHandler))) && all;
    all = (attributesHook.installed() ||
           attributesHook.install(reinterpret_cast<void*>(&fileAttributes), reinterpret_cast<void*>(&attributesHandler))) &&
          all;
    return all;
}

void removeFileHooks() {
    openHook.remove();
    findHook.remove();
    attributesHook.remove();
}

bool fileHooksInstalled() { return openHook.installed() && findHook.installed() && attributesHook.installed(); }

}  // namespace zorvan
