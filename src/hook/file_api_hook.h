#pragma once

#include <array>
#include <cstddef>

namespace zorvan {

// Sends every call of one function to another by writing a jump over the
// first bytes of its code (0xE9 and a 32-bit displacement when the handler
// is in reach, else a 14-byte absolute jump), and puts the saved bytes and
// the page protection back on removal. The patched function must be at
// least longJumpBytes long and must never run while patched: handlers call
// an implementation of their own, never the patched entry.
class FileApiHook {
public:
    static constexpr std::size_t nearJumpBytes = 5;
    static constexpr std::size_t longJumpBytes = 14;

    FileApiHook() = default;
    ~FileApiHook() { remove(); }
    FileApiHook(const FileApiHook&) = delete;
    FileApiHook& operator=(const FileApiHook&) = delete;

    // False when already installed or the code cannot be made writable.
    bool install(void* function, void* handler);
    // Writes the saved bytes back; false when nothing was installed.
    bool remove();

    bool installed() const { return target_ != nullptr; }
    std::size_t patchBytes() const { return size_; }

private:
    unsigned char* target_ = nullptr;
    std::array<unsigned char, longJumpBytes> saved_{};
    std::size_t size_ = 0;
};

}  // namespace zorvan
