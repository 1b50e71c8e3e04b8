#include "skin/attach_skin.h"

#include "skin/pe/call_with_args.h"

namespace zorvan {

std::uintptr_t attachSkinResource(const pe::MemoryModule& library, std::span<const std::uint8_t> skin,
                                  const std::string& password, int a, int b, int c) {
    const std::uintptr_t attach = library.GetProc("SkinH_AttachRes");
    if (attach == 0) return 0;
    const auto word = [](std::uintptr_t value) { return pe::CallArg{value, true}; };
    const auto integer = [&](int value) { return word(static_cast<std::uintptr_t>(static_cast<std::intptr_t>(value))); };
    return pe::callWithArgs(attach, {word(reinterpret_cast<std::uintptr_t>(skin.data())),
                                     word(skin.size()),
                                     word(password.empty() ? 0 : reinterpret_cast<std::uintptr_t>(password.c_str())),
                                     integer(a), integer(b), integer(c), word(0), word(0), word(0), word(0)});
}

}  // namespace zorvan
