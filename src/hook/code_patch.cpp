#include "hook/code_patch.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace zorvan {

namespace {

// The protection of the mapping that holds `address`; read-execute when
// the table cannot be read (where code lives).
int protectionAt(std::uintptr_t address) {
    int protection = PROT_READ | PROT_EXEC;
    FILE* maps = std::fopen("/proc/self/maps", "r");
    if (!maps) return protection;
    char line[512];
    while (std::fgets(line, sizeof line, maps)) {
        unsigned long begin = 0, end = 0;
        char perms[5] = {};
        if (std::sscanf(line, "%lx-%lx %4s", &begin, &end, perms) != 3) continue;
        if (address < begin || address >= end) continue;
        protection = (perms[0] == 'r' ? PROT_READ : 0) | (perms[1] == 'w' ? PROT_WRITE : 0) |
                     (perms[2] == 'x' ? PROT_EXEC : 0);
        break;
    }
    std::fclose(maps);
    return protection;
}

}  // namespace

bool writeCode(void* at, const void* bytes, std::size_t count) {
    const auto pageSize = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto begin = reinterpret_cast<std::uintptr_t>(at) & ~(pageSize - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(at) + count + pageSize - 1) & ~(pageSize - 1);
    const int before = protectionAt(reinterpret_cast<std::uintptr_t>(at));
    void* pages = reinterpret_cast<void*>(begin);
    if (::mprotect(pages, end - begin, PROT_READ | PROT_WRITE | PROT_EXEC) != 0) return false;
    std::memcpy(at, bytes, count);
    ::mprotect(pages, end - begin, before);
    auto* first = static_cast<char*>(at);
    __builtin___clear_cache(first, first + count);
    return true;
}

}  // namespace zorvan
