#include "skin/pe/image_headers.h"

namespace zorvan::pe {

namespace {

// Offsets inside the headers of a PE32+ image.
constexpr std::uint64_t dosHeaderSize = 64;
constexpr std::uint64_t ntOffsetField = 60;
constexpr std::uint64_t fileHeaderAt = 4;        // from the NT headers
constexpr std::uint64_t optionalHeaderAt = 24;   // from the NT headers
constexpr std::uint64_t ntHeadersSize = 264;     // signature, file header, PE32+ optional header
constexpr std::uint64_t sectionEntrySize = 40;
constexpr std::uint32_t directoryCount = 16;
constexpr std::uint64_t directoriesAt = 112;     // in the PE32+ optional header

std::optional<DataDirectory> readDirectory(const ImageBytes& bytes, std::uint64_t optional, int index) {
    const std::uint64_t at = optional + directoriesAt + 8 * static_cast<std::uint64_t>(index);
    auto address = bytes.read<std::uint32_t>(at);
    auto size = bytes.read<std::uint32_t>(at + 4);
    if (!address || !size) return std::nullopt;
    return DataDirectory{*address, *size};
}

bool readSections(const ImageBytes& bytes, std::uint64_t tableAt, std::uint16_t count, ImageHeaders& headers) {
    headers.sections.reserve(count);
    for (std::uint16_t i = 0; i < count; ++i) {
        const std::uint64_t at = tableAt + i * sectionEntrySize;
        auto virtualSize = bytes.read<std::uint32_t>(at + 8);
        auto virtualAddress = bytes.read<std::uint32_t>(at + 12);
        auto rawSize = bytes.read<std::uint32_t>(at + 16);
        auto rawPointer = bytes.read<std::uint32_t>(at + 20);
        auto characteristics = bytes.read<std::uint32_t>(at + 36);
        if (!virtualSize || !virtualAddress || !rawSize || !rawPointer || !characteristics) return false;
        headers.sections.push_back({*virtualSize, *virtualAddress, *rawSize, *rawPointer, *characteristics});
    }
    return true;
}

}  // namespace

std::optional<ImageHeaders> readImageHeaders(const ImageBytes& bytes) {
    if (bytes.size() < dosHeaderSize || bytes.read<std::uint16_t>(0) != dosSignature) return std::nullopt;
    const std::uint64_t nt = *bytes.read<std::uint32_t>(ntOffsetField);
    if (!bytes.holds(nt, ntHeadersSize) || bytes.read<std::uint32_t>(nt) != ntSignature) return std::nullopt;

    const std::uint64_t file = nt + fileHeaderAt;
    const std::uint64_t optional = nt + optionalHeaderAt;
    const auto machine = *bytes.read<std::uint16_t>(file);
    const auto sectionCount = *bytes.read<std::uint16_t>(file + 2);
    const auto optionalSize = *bytes.read<std::uint16_t>(file + 16);
    ImageHeaders headers;
    headers.characteristics = *bytes.read<std::uint16_t>(file + 18);
    // A PE32 image or another machine's code cannot run on this host.
    if (machine != machineX64 || bytes.read<std::uint16_t>(optional) != optionalMagicPe32Plus) return std::nullopt;
    if (!(headers.characteristics & executableImage)) return std::nullopt;
    if (optionalSize < directoriesAt + 8 * directoryCount) return std::nullopt;
    if (*bytes.read<std::uint32_t>(optional + 108) < 6) return std::nullopt;  // too few directories

    const std::uint64_t tableAt = optional + optionalSize;
    const std::uint64_t tableEnd = tableAt + sectionCount * sectionEntrySize;
    if (!bytes.holds(0, tableEnd)) return std::nullopt;
    headers.headersEnd = static_cast<std::uint32_t>(tableEnd);

    headers.entryPoint = *bytes.read<std::uint32_t>(optional + 16);
    headers.preferredBase = *bytes.read<std::uint64_t>(optional + 24);
    headers.sectionAlignment = *bytes.read<std::uint32_t>(optional + 32);
    headers.imageSize = *bytes.read<std::uint32_t>(optional + 56);
    headers.exports = *readDirectory(bytes, optional, 0);
    headers.imports = *readDirectory(bytes, optional, 1);
    headers.relocations = *readDirectory(bytes, optional, 5);
    if (!readSections(bytes, tableAt, sectionCount, headers)) return std::nullopt;
    return headers;
}

}  // namespace zorvan::pe
