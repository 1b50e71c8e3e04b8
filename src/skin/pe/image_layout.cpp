#include "skin/pe/image_steps.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

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

bool protectSections(std::uint8_t* image, const ImageHeaders& headers, std::uint32_t imageSize) {
    const std::uint64_t page = static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
    std::vector<int> access((imageSize + page - 1) / page, PROT_READ);
    for (const Section& s : headers.sections) {
        const int wanted = ((s.characteristics & sectionWrite) ? PROT_WRITE : 0) |
                           ((s.characteristics & sectionExecute) ? PROT_EXEC : 0);
        const std::uint64_t end = std::uint64_t{s.virtualAddress} + std::max(s.virtualSize, s.rawSize);
        for (std::uint64_t p = s.virtualAddress / page; p < access.size() && p * page < end; ++p) access[p] |= wanted;
    }
    for (std::size_t first = 0; first < access.size();) {
        if ((access[first] & PROT_WRITE) && (access[first] & PROT_EXEC)) return false;
        std::size_t last = first;
        while (last + 1 < access.size() && access[last + 1] == access[first]) ++last;
        if (::mprotect(image + first * page, (last - first + 1) * page, access[first]) != 0) return false;
        first = last + 1;
    }
    return true;
}

}  // namespace zorvan::pe
