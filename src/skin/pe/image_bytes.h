#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

namespace zorvan::pe {

// Little-endian reads that never leave the bytes they were given: every
// offset in an image is untrusted, so each read says whether it fitted.
class ImageBytes {
public:
    ImageBytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    const std::uint8_t* data() const { return data_; }
    std::size_t size() const { return size_; }

    bool holds(std::uint64_t offset, std::uint64_t length) const {
        return offset <= size_ && length <= size_ - offset;
    }

    template <typename T>
    std::optional<T> read(std::uint64_t offset) const {
        if (!holds(offset, sizeof(T))) return std::nullopt;
        T value;
        std::memcpy(&value, data_ + offset, sizeof(T));  // the host is little-endian too
        return value;
    }

    // The zero-terminated text at offset, or nothing when no zero ends it
    // inside the bytes.
    std::optional<std::string_view> text(std::uint64_t offset) const {
        if (offset >= size_) return std::nullopt;
        const auto* start = data_ + offset;
        const void* end = std::memchr(start, 0, size_ - offset);
        if (!end) return std::nullopt;
        return std::string_view(reinterpret_cast<const char*>(start),
                                static_cast<const std::uint8_t*>(end) - start);
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

}  // namespace zorvan::pe
