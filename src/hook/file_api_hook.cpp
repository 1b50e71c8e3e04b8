#include "hook/file_api_hook.h"

#include "hook/code_patch.h"

#include <cstdint>
#include <cstring>
#include <limits>

namespace zorvan {

bool FileApiHook::install(void* function, void* handler) {
    if (installed() || !function || !handler) return false;
    auto* target = static_cast<unsigned char*>(function);
    std::array<unsigned char, longJumpBytes> jump{};
    const std::int64_t displacement = reinterpret_cast<std::intptr_t>(handler) -
                                      (reinterpret_cast<std::intptr_t>(target) + static_cast<std::intptr_t>(nearJumpBytes));
    std::size_t size;
    if (displacement >= std::numeric_limits<std::int32_t>::min() &&
        displacement <= std::numeric_limits<std::int32_t>::max()) {
        const auto rel = static_cast<std::int32_t>(displacement);
        jump[0] = 0xE9;  // jmp rel32
        std::memcpy(&jump[1], &rel, sizeof rel);
        size = nearJumpBytes;
    } else {
        jump[0] = 0xFF;  // jmp qword ptr [rip + 0], the address right behind
        jump[1] = 0x25;
        const auto absolute = reinterpret_cast<std::uint64_t>(handler);
        std::memcpy(&jump[6], &absolute, sizeof absolute);
        size = longJumpBytes;
    }
    std::memcpy(saved_.data(), target, size);
    if (!writeCode(target, jump.data(), size)) return false;
    target_ = target;
    size_ = size;
    return true;
}

bool FileApiHook::remove() {
    if (!installed()) return false;
    if (!writeCode(target_, saved_.data(), size_)) return false;
    target_ = nullptr;
    size_ = 0;
    return true;
}

}  // namespace zorvan
