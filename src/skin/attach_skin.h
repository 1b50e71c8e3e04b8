#pragma once

#include "skin/pe/memory_module.h"

#include <cstdint>
#include <span>
#include <string>

namespace zorvan {

// The library file the skin library imports its host functions from.
inline constexpr char skinHostLibrary[] = "zorvan_host.dll";

// Hands a skin to a mapped skin library's SkinH_AttachRes. No call (and 0)
// when the library has no such export; otherwise the library's answer.
std::uintptr_t attachSkinResource(const pe::MemoryModule& library, std::span<const std::uint8_t> skin,
                                  const std::string& password = {}, int a = 0, int b = 0, int c = 0);

}  // namespace zorvan
