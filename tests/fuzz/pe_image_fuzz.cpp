// Any bytes handed to the loader as a DLL image: mapped (relocations,
// imports, exports) or refused, never read or written out of bounds, and
// nothing left mapped. The entry point is never run: these bytes are not
// code anyone chose.
#include "fuzz_check.h"
#include "skin/pe/host_libraries.h"
#include "skin/pe/memory_module.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

using namespace zorvan::pe;

namespace {

std::uintptr_t resolveSome(const char* library, const char* function, void*) {
    // Half the imports are answered, so mapping goes on past them.
    return (library[0] ^ function[0]) & 1 ? 0x1000 : 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const HostLibraries hosts;
    MemoryModule module(hosts);
    module.setRunsEntryPoint(false);
    std::uintptr_t base = 0;
    std::size_t mapped = 0;
    if (module.Load(data, size, resolveSome, nullptr)) {
        FUZZ_CHECK(module.handle() != 0 && module.mappedSize() > 0);
        base = module.handle();
        mapped = module.mappedSize();
        (void)module.GetProc("SkinH_AttachRes");
        (void)module.GetProc("1");
    }
    FUZZ_CHECK(module.Free() && module.handle() == 0);
    // Every page the image held is returned to the system.
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    unsigned char resident = 0;
    for (std::size_t at = 0; at < mapped; at += page)
        FUZZ_CHECK(mincore(reinterpret_cast<void*>(base + at), 1, &resident) != 0 && errno == ENOMEM);
    return 0;
}
