#include "skin/pe/call_with_args.h"

namespace zorvan::pe {

std::uintptr_t callWithArgs(std::uintptr_t routine, const std::array<CallArg, 10>& args) {
    using Routine = std::uintptr_t (__attribute__((ms_abi)) *)(
        std::uintptr_t, std::uintptr_t, std::uintptr_t, std::uintptr_t, std::uintptr_t,
        std::uintptr_t, std::uintptr_t, std::uintptr_t, std::uintptr_t, std::uintptr_t);
    const auto call = reinterpret_cast<Routine>(routine);
    return call(args[0].value, args[1].value, args[2].value, args[3].value, args[4].value,
                args[5].value, args[6].value, args[7].value, args[8].value, args[9].value);
}

}  // namespace zorvan::pe
