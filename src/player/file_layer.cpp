#include "player/file_layer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// A hook writes up to 14 bytes over an entry; these no-ops make every entry
// longer than that, whatever the compiler makes of the rest. noipa keeps
// callers from inlining the entry or assuming what it does.
#define ZORVAN_HOOKABLE_ENTRY() asm volatile(".rept 16\n\tnop\n\t.endr")

namespace zorvan {

__attribute__((noipa)) int fileOpen(const char* path) {
    ZORVAN_HOOKABLE_ENTRY();
    return fileOpenDirect(path);
}

__attribute__((noipa)) bool fileFind(const char* path, FoundFile* found) {
    ZORVAN_HOOKABLE_ENTRY();
    return fileFindDirect(path, found);
}

__attribute__((noipa)) std::uint32_t fileAttributes(const char* path) {
    ZORVAN_HOOKABLE_ENTRY();
    return fileAttributesDirect(path);
}

int fileOpenDirect(const char* path) { return path ? ::open(path, O_RDONLY | O_CLOEXEC) : -1; }

bool fileFindDirect(const char* path, FoundFile* found) {
    struct stat s {};
    if (!path || ::stat(path, &s) != 0) return false;
    if (found) {
        found->path = path;
        found->size = static_cast<std::int64_t>(s.st_size);
        found->attributes = S_ISDIR(s.st_mode) ? directoryAttribute : archiveAttribute;
    }
    return true;
}

std::uint32_t fileAttributesDirect(const char* path) {
    FoundFile found;
    return fileFindDirect(path, &found) ? found.attributes : invalidFileAttributes;
}

}  // namespace zorvan
