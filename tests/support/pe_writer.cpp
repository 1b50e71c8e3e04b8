#include "support/pe_writer.h"

#include <cstring>

namespace zorvan::test {

namespace {

constexpr std::uint32_t fileAlignment = 0x200;

template <typename T>
void writeAt(std::vector<std::uint8_t>& out, std::size_t at, T value) {
    if (out.size() < at + sizeof(T)) out.resize(at + sizeof(T));
    std::memcpy(out.data() + at, &value, sizeof(T));
}

std::uint32_t alignUp(std::size_t value) {
    return static_cast<std::uint32_t>((value + fileAlignment - 1) / fileAlignment * fileAlignment);
}

}  // namespace

std::vector<std::uint8_t> PeImage::bytes() const {
    std::vector<std::uint8_t> out(peSectionTableAt + 40 * sections.size());
    const std::size_t nt = 64;
    const std::size_t optional = nt + 24;
    writeAt<std::uint16_t>(out, 0, 0x5A4D);
    writeAt<std::uint32_t>(out, 60, nt);
    writeAt<std::uint32_t>(out, nt, 0x00004550);
    writeAt<std::uint16_t>(out, nt + 4, machine);
    writeAt<std::uint16_t>(out, nt + 6, static_cast<std::uint16_t>(sections.size()));
    writeAt<std::uint16_t>(out, nt + 20, 240);
    writeAt<std::uint16_t>(out, nt + 22, characteristics);
    writeAt<std::uint16_t>(out, optional, optionalMagic);
    writeAt<std::uint32_t>(out, optional + 16, entryPoint);
    writeAt<std::uint64_t>(out, optional + 24, preferredBase);
    writeAt<std::uint32_t>(out, optional + 32, sectionAlignment);
    writeAt<std::uint32_t>(out, optional + 36, fileAlignment);
    writeAt<std::uint32_t>(out, optional + 56, imageSize);
    writeAt<std::uint32_t>(out, optional + 60, alignUp(out.size()));
    writeAt<std::uint32_t>(out, optional + 108, 16);
    for (std::size_t i = 0; i < directories.size(); ++i) {
        writeAt<std::uint32_t>(out, optional + 112 + 8 * i, directories[i].first);
        writeAt<std::uint32_t>(out, optional + 116 + 8 * i, directories[i].second);
    }
    std::uint32_t rawAt = alignUp(out.size());
    for (std::size_t i = 0; i < sections.size(); ++i) {
        const PeSection& s = sections[i];
        const std::size_t entry = peSectionTableAt + 40 * i;
        std::memcpy(out.data() + entry, ".sect", 5);
        writeAt<std::uint32_t>(out, entry + 8, s.virtualSize);
        writeAt<std::uint32_t>(out, entry + 12, s.virtualAddress);
        writeAt<std::uint32_t>(out, entry + 16, static_cast<std::uint32_t>(s.raw.size()));
        writeAt<std::uint32_t>(out, entry + 20, s.raw.empty() ? 0 : rawAt);
        writeAt<std::uint32_t>(out, entry + 36, s.characteristics);
        if (s.raw.empty()) continue;
        out.resize(rawAt);
        out.insert(out.end(), s.raw.begin(), s.raw.end());
        rawAt = alignUp(out.size());
    }
    return out;
}

std::uint32_t SectionContent::put(std::span<const std::uint8_t> data) {
    const std::uint32_t at = next();
    bytes_.insert(bytes_.end(), data.begin(), data.end());
    return at;
}

std::uint32_t SectionContent::put16(std::uint16_t value) {
    return put({reinterpret_cast<const std::uint8_t*>(&value), sizeof value});
}

std::uint32_t SectionContent::put32(std::uint32_t value) {
    return put({reinterpret_cast<const std::uint8_t*>(&value), sizeof value});
}

std::uint32_t SectionContent::put64(std::uint64_t value) {
    return put({reinterpret_cast<const std::uint8_t*>(&value), sizeof value});
}

std::uint32_t SectionContent::putText(std::string_view text) {
    const std::uint32_t at = put({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
    put({reinterpret_cast<const std::uint8_t*>("\0"), 1});
    return at;
}

void SectionContent::set32(std::uint32_t at, std::uint32_t value) {
    std::memcpy(bytes_.data() + (at - address_), &value, sizeof value);
}

}  // namespace zorvan::test
