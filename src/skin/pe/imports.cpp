#include "skin/pe/image_steps.h"

#include <cstring>
#include <string>

namespace zorvan::pe {

namespace {

constexpr std::uint64_t descriptorSize = 20;
constexpr std::uint64_t byOrdinal = 1ull << 63;

// One import address table entry's function: its name, or its ordinal.
struct ImportedName {
    std::string text;  // the name, or the ordinal as decimal text for the resolver
    std::uint16_t ordinal = 0;
};

std::optional<ImportedName> importedName(const ImageBytes& bytes, std::uint64_t entry) {
    if (entry & byOrdinal) {
        const auto ordinal = static_cast<std::uint16_t>(entry & 0xFFFF);
        return ImportedName{std::to_string(ordinal), ordinal};
    }
    // A hint/name record: two bytes of hint, then the name.
    auto name = entry <= 0xFFFFFFFFull ? bytes.text(entry + 2) : std::nullopt;
    if (!name) return std::nullopt;
    return ImportedName{std::string(*name), 0};
}

bool resolveTable(std::uint8_t* image, const ImageBytes& bytes, std::uint64_t table, const char* libraryName,
                  std::uintptr_t library, const HostLibraries& hosts, ImportResolver resolver, void* value) {
    for (std::uint64_t at = table;; at += 8) {
        auto entry = bytes.read<std::uint64_t>(at);
        if (!entry) return false;
        if (*entry == 0) return true;
        auto name = importedName(bytes, *entry);
        if (!name) return false;
        std::uintptr_t address = resolver ? resolver(libraryName, name->text.c_str(), value) : 0;
        if (address == 0)
            address = name->ordinal ? hosts.procAddress(library, name->ordinal)
                                    : hosts.procAddress(library, name->text);
        if (address == 0) return false;
        const std::uint64_t filled = address;
        std::memcpy(image + at, &filled, sizeof filled);
    }
}

}  // namespace

bool resolveImports(std::uint8_t* image, std::uint32_t imageSize, DataDirectory imports,
                    const HostLibraries& hosts, ImportResolver resolver, void* resolverValue) {
    if (imports.address == 0) return true;
    const ImageBytes bytes(image, imageSize);
    for (std::uint64_t descriptor = imports.address;; descriptor += descriptorSize) {
        if (!bytes.holds(descriptor, descriptorSize)) return false;
        const std::uint32_t table = *bytes.read<std::uint32_t>(descriptor + 16);
        if (table == 0) return true;
        auto libraryName = bytes.text(*bytes.read<std::uint32_t>(descriptor + 12));
        if (!libraryName) return false;
        const std::uintptr_t library = hosts.load(*libraryName);
        if (!resolveTable(image, bytes, table, libraryName->data(), library, hosts, resolver, resolverValue))
            return false;
    }
}

}  // namespace zorvan::pe
