#pragma once

#include <cstdint>
#include <span>

namespace zorvan {

// Program data, alive for the whole run.
// The skin library: a PE32+ DLL image, built from library/skin_library.c.
std::span<const std::uint8_t> skinLibraryImage();
// The skin in the library's format: "ZSKN", version 1, a UTF-8 style sheet.
std::span<const std::uint8_t> skinResource();

}  // namespace zorvan
