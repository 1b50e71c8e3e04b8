#include "skin/pe/image_steps.h"

#include <algorithm>
#include <cstring>

namespace zorvan::pe {

namespace {

// Far beyond any library of ours; a larger claim is a damaged header.
constexpr std::uint64_t largestImage = 1ull << 30;

}  // namespace

std::optional<std::uint32_t> mappedImageSize(const ImageHeaders& headers) {
    const std::uint64_t alignment = headers.sectionAlignment;
    if (alignment == 0) return std::nullopt;
    std::uint64_t size = headers.imageSize;
    for (const Section& s : headers.sections) {
        const std::uint64_t end = std::uint64_t{s.virtualAddress} + std::max(s.virtualSize, s.rawSize);
        size = std::max(size, (end + alignment - 1) / alignment * alignment);
    }
    if (size == 0 || size > largestImage || size < headers.headersEnd) return std::nullopt;
    return static_cast<std::uint32_t>(size);
}

bool copyHeadersAndSections(const ImageBytes& file, const ImageHeaders& headers, std::uint8_t* image,
                            std::uint32_t imageSize) {
    std::memcpy(image, file.data(), headers.headersEnd);
    const ImageBytes target(image, imageSize);
    for (const Section& s : headers.sections) {
        if (s.rawSize == 0 || s.virtualAddress == 0) continue;  // stays zero-filled
        if (!file.holds(s.rawPointer, s.rawSize) || !target.holds(s.virtualAddress, s.rawSize)) return false;
        std::memcpy(image + s.virtualAddress, file.data() + s.rawPointer, s.rawSize);
    }
    return true;
}

}  // namespace zorvan::pe
