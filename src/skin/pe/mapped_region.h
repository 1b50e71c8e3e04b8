#pragma once

#include <cstddef>
#include <cstdint>

namespace zorvan::pe {

// Memory for one mapped image: readable and writable, zero
// filled, at the preferred address when that is free, else anywhere.
// Released when the region is destroyed, unless handed over with release().
class MappedRegion {
public:
    MappedRegion() = default;
    MappedRegion(std::uint64_t preferredAddress, std::size_t size);
    ~MappedRegion();
    MappedRegion(const MappedRegion&) = delete;
    MappedRegion& operator=(const MappedRegion&) = delete;

    bool valid() const { return base_ != nullptr; }
    std::uint8_t* base() const { return base_; }
    std::size_t size() const { return size_; }
    std::uint8_t* release();

private:
    std::uint8_t* base_ = nullptr;
    std::size_t size_ = 0;
};

// Unmaps what a released region held; true when the memory was returned.
bool unmapRegion(std::uint8_t* base, std::size_t size);

}  // namespace zorvan::pe
