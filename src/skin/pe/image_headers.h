#pragma once

#include "skin/pe/image_bytes.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace zorvan::pe {

// The parts of a PE32+ image's headers that mapping and lookups use.
struct DataDirectory {
    std::uint32_t address = 0;
    std::uint32_t size = 0;
};

struct Section {
    std::uint32_t virtualSize = 0;
    std::uint32_t virtualAddress = 0;
    std::uint32_t rawSize = 0;
    std::uint32_t rawPointer = 0;
    std::uint32_t characteristics = 0;  // what its memory may do (sectionRead, ...)
};

inline constexpr std::uint32_t sectionExecute = 0x20000000;
inline constexpr std::uint32_t sectionRead = 0x40000000;
inline constexpr std::uint32_t sectionWrite = 0x80000000;

struct ImageHeaders {
    std::uint16_t characteristics = 0;
    std::uint32_t entryPoint = 0;
    std::uint64_t preferredBase = 0;
    std::uint32_t sectionAlignment = 0;
    std::uint32_t imageSize = 0;
    std::uint32_t headersEnd = 0;  // end of the section table
    DataDirectory exports;
    DataDirectory imports;
    DataDirectory relocations;
    std::vector<Section> sections;

    bool isDll() const { return (characteristics & 0x2000) != 0; }
};

inline constexpr std::uint16_t dosSignature = 0x5A4D;       // "MZ"
inline constexpr std::uint32_t ntSignature = 0x00004550;    // "PE\0\0"
inline constexpr std::uint16_t machineX64 = 0x8664;
inline constexpr std::uint16_t optionalMagicPe32Plus = 0x020B;
inline constexpr std::uint16_t executableImage = 0x0002;

// Reads and checks the DOS header, the NT headers and the section table:
// only a PE32+ x86-64 executable image whose headers and section table lie
// inside the bytes is accepted. Nothing when any check fails.
std::optional<ImageHeaders> readImageHeaders(const ImageBytes& bytes);

}  // namespace zorvan::pe
