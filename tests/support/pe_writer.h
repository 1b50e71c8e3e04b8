#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

namespace zorvan::test {

// Writes PE32+ DLL files for the loader's tests: any header field may be
// set to a wrong value, and sections hold whatever bytes a test lays out.

struct PeSection {
    std::uint32_t virtualAddress = 0;
    std::uint32_t virtualSize = 0;
    std::vector<std::uint8_t> raw;
    std::uint32_t characteristics = 0x60000020;  // code: read and execute
};

struct PeImage {
    std::uint16_t machine = 0x8664;
    std::uint16_t optionalMagic = 0x020B;
    std::uint16_t characteristics = 0x2022;  // executable image, large addresses, DLL
    // Free in plain builds and inside the application ranges of both sanitizers.
    std::uint64_t preferredBase = 0x7e9000000000;
    std::uint32_t sectionAlignment = 0x1000;
    std::uint32_t imageSize = 0x1000;        // the loader raises it to cover the sections
    std::uint32_t entryPoint = 0;
    std::array<std::pair<std::uint32_t, std::uint32_t>, 16> directories{};  // address, size
    std::vector<PeSection> sections;

    enum Directory { exports = 0, imports = 1, relocations = 5 };
    // Headers, section table, then each section's raw data, 512-aligned.
    std::vector<std::uint8_t> bytes() const;
};

inline constexpr std::size_t peSectionTableAt = 64 + 264;  // where the section table starts in bytes()

// One section's contents, laid out front to back; each put answers the
// relative address (in the image) where its bytes went.
class SectionContent {
public:
    explicit SectionContent(std::uint32_t address) : address_(address) {}
    std::uint32_t put(std::span<const std::uint8_t> data);
    std::uint32_t put16(std::uint16_t value);
    std::uint32_t put32(std::uint32_t value);
    std::uint32_t put64(std::uint64_t value);
    std::uint32_t putText(std::string_view text);  // with its terminating zero
    void set32(std::uint32_t at, std::uint32_t value);
    std::uint32_t next() const { return address_ + static_cast<std::uint32_t>(bytes_.size()); }
    PeSection section(std::uint32_t characteristics = 0x60000020) const {
        return {address_, static_cast<std::uint32_t>(bytes_.size()), bytes_, characteristics};
    }

private:
    std::uint32_t address_;
    std::vector<std::uint8_t> bytes_;
};

}  // namespace zorvan::test
