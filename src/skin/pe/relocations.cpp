#include "skin/pe/image_steps.h"

#include <cstring>

namespace zorvan::pe {

namespace {

constexpr std::uint16_t relocatePad = 0;     // IMAGE_REL_BASED_ABSOLUTE
constexpr std::uint16_t relocateLow32 = 3;   // IMAGE_REL_BASED_HIGHLOW
constexpr std::uint16_t relocate64 = 10;     // IMAGE_REL_BASED_DIR64

template <typename T>
bool addDelta(std::uint8_t* image, const ImageBytes& bytes, std::uint64_t at, std::int64_t delta) {
    auto value = bytes.read<T>(at);
    if (!value) return false;
    const T moved = static_cast<T>(*value + static_cast<T>(delta));
    std::memcpy(image + at, &moved, sizeof(T));
    return true;
}

bool applyBlock(std::uint8_t* image, const ImageBytes& bytes, std::uint64_t block, std::uint32_t page,
                std::uint32_t blockSize, std::int64_t delta) {
    const std::uint32_t entries = (blockSize - 8) / 2;
    for (std::uint32_t i = 0; i < entries; ++i) {
        const std::uint16_t entry = *bytes.read<std::uint16_t>(block + 8 + 2 * i);
        const std::uint16_t type = entry >> 12;
        const std::uint64_t at = std::uint64_t{page} + (entry & 0x0FFF);
        // Type 0 pads a block. Any other type would leave a value unmoved
        // that the image relies on: the image is refused.
        if (type == relocateLow32) {
            if (!addDelta<std::uint32_t>(image, bytes, at, delta)) return false;
        } else if (type == relocate64) {
            if (!addDelta<std::uint64_t>(image, bytes, at, delta)) return false;
        } else if (type != relocatePad) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool applyRelocations(std::uint8_t* image, std::uint32_t imageSize, DataDirectory relocations,
                      std::int64_t delta) {
    if (relocations.size == 0) return true;
    const ImageBytes bytes(image, imageSize);
    const std::uint64_t end = std::uint64_t{relocations.address} + relocations.size;
    if (!bytes.holds(relocations.address, relocations.size)) return false;
    // Blocks run to the end of the directory or to a block for page 0.
    for (std::uint64_t block = relocations.address; block + 8 <= end;) {
        const std::uint32_t page = *bytes.read<std::uint32_t>(block);
        const std::uint32_t blockSize = *bytes.read<std::uint32_t>(block + 4);
        if (page == 0) break;
        if (blockSize < 8 || blockSize > end - block) return false;
        if (!applyBlock(image, bytes, block, page, blockSize, delta)) return false;
        block += blockSize;
    }
    return true;
}

}  // namespace zorvan::pe
