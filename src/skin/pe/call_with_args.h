#pragma once

#include <array>
#include <cstdint>

namespace zorvan::pe {

// One integer argument and whether the caller gave it.
struct CallArg {
    std::uintptr_t value = 0;
    bool given = false;
};

// Calls the routine at address with ten integer arguments in the Microsoft
// x64 convention, as a mapped image's code expects; the given-flags are
// not passed. The compiler keeps the stack balanced around the call, so the
// routine may use any number of the ten. Returns the routine's result.
std::uintptr_t callWithArgs(std::uintptr_t routine, const std::array<CallArg, 10>& args);

// The Microsoft x64 signatures this loader calls into an image with.
using DllEntryRoutine = int (__attribute__((ms_abi)) *)(std::uintptr_t module, std::uint32_t reason,
                                                        std::uintptr_t reserved);

}  // namespace zorvan::pe
