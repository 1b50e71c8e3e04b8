#pragma once

#include <cstdint>
#include <string>

namespace zorvan {

// The program's own file functions, the ones the media host opens its
// local sources through, with the roles the file-function hooks take over:
// opening for reading ("CreateFileA"), finding a file ("FindFirstFileW")
// and reading its attributes ("GetFileAttributesW"). Paths are UTF-8.
//
// Each is a thin entry that a hook may patch, over an implementation the
// hooks' handlers call directly, so no call ever runs a patched entry.

inline constexpr std::uint32_t invalidFileAttributes = 0xFFFFFFFFu;
inline constexpr std::uint32_t directoryAttribute = 0x10;
inline constexpr std::uint32_t archiveAttribute = 0x20;

struct FoundFile {
    std::string path;         // what was found (UTF-8)
    std::int64_t size = 0;
    std::uint32_t attributes = 0;
};

// A descriptor open for reading, or -1.
int fileOpen(const char* path);
// Whether a file exists at `path`; `found` describes it.
bool fileFind(const char* path, FoundFile* found);
// archiveAttribute for a file, directoryAttribute for a folder, else
// invalidFileAttributes.
std::uint32_t fileAttributes(const char* path);

// The implementations, not hookable.
int fileOpenDirect(const char* path);
bool fileFindDirect(const char* path, FoundFile* found);
std::uint32_t fileAttributesDirect(const char* path);

}  // namespace zorvan
