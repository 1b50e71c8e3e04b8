#include "skin/pe/mapped_region.h"

#include <sys/mman.h>

namespace zorvan::pe {

namespace {

// Writable while the image is laid out; its sections get their own
// protections afterwards, so no page is ever writable and executable.
constexpr int access = PROT_READ | PROT_WRITE;

void* mapAt(void* address, std::size_t size, int extraFlags) {
    void* got = mmap(address, size, access, MAP_PRIVATE | MAP_ANONYMOUS | extraFlags, -1, 0);
    return got == MAP_FAILED ? nullptr : got;
}

}  // namespace

MappedRegion::MappedRegion(std::uint64_t preferredAddress, std::size_t size) {
    if (size == 0) return;
    void* got = nullptr;
    if (preferredAddress != 0) {
        // Never over what is already mapped there; an older kernel that
        // treats the flag as a hint may place it elsewhere, which counts
        // as not free.
        got = mapAt(reinterpret_cast<void*>(preferredAddress), size, MAP_FIXED_NOREPLACE);
        if (got && reinterpret_cast<std::uint64_t>(got) != preferredAddress) {
            munmap(got, size);
            got = nullptr;
        }
    }
    if (!got) got = mapAt(nullptr, size, 0);
    base_ = static_cast<std::uint8_t*>(got);
    size_ = got ? size : 0;
}

MappedRegion::~MappedRegion() {
    if (base_) unmapRegion(base_, size_);
}

std::uint8_t* MappedRegion::release() {
    std::uint8_t* base = base_;
    base_ = nullptr;
    size_ = 0;
    return base;
}

bool unmapRegion(std::uint8_t* base, std::size_t size) { return munmap(base, size) == 0; }

}  // namespace zorvan::pe
