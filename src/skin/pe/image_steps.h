#pragma once

#include "skin/pe/image_headers.h"
#include "skin/pe/memory_module.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zorvan::pe {

// The steps of mapping an image, each refusing what does not fit.

// The size of image raised to cover every section's aligned end; nothing
// when the image is damaged or too large to map.
std::optional<std::uint32_t> mappedImageSize(const ImageHeaders& headers);

// Copies the headers and each section's raw data into the new image.
bool copyHeadersAndSections(const ImageBytes& file, const ImageHeaders& headers, std::uint8_t* image,
                            std::uint32_t imageSize);

// Adds delta to every 32-bit (type 3) and 64-bit (type 10) relocated value;
// refuses a block entry of any other type but padding (0).
bool applyRelocations(std::uint8_t* image, std::uint32_t imageSize, DataDirectory relocations,
                      std::int64_t delta);

// Fills every import address table entry, resolver first.
bool resolveImports(std::uint8_t* image, std::uint32_t imageSize, DataDirectory imports,
                    const HostLibraries& hosts, ImportResolver resolver, void* resolverValue);

// Gives each page the protection its sections ask for, never writable and
// executable at once (such an image is refused); everything stays
// readable, as the loader reads its headers and exports.
bool protectSections(std::uint8_t* image, const ImageHeaders& headers, std::uint32_t imageSize);

// The export's offset in the image (not 0), or 0. An export forwarded to
// another library is not followed: 0, with `forwardedTo` ("LIB.Function").
std::uint32_t findExport(const ImageBytes& image, DataDirectory exports, std::string_view nameOrOrdinal,
                         std::string* forwardedTo = nullptr);

}  // namespace zorvan::pe
