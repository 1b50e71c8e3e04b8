#include "skin/pe/memory_module.h"

#include "skin/pe/call_with_args.h"
#include "skin/pe/image_steps.h"
#include "skin/pe/mapped_region.h"

namespace zorvan::pe {

namespace {

constexpr std::uint32_t processDetach = 0;
constexpr std::uint32_t processAttach = 1;

// A DLL's entry point with a null module handle, as the image was never
// a file the system knows. An entry point of 0 means the DLL has none.
bool callEntry(std::uint8_t* base, const ImageHeaders& headers, std::uint32_t reason) {
    if (!headers.isDll() || headers.entryPoint == 0) return true;
    const auto entry = reinterpret_cast<DllEntryRoutine>(base + headers.entryPoint);
    return entry(0, reason, 0) != 0;
}

}  // namespace

bool MemoryModule::Load(const std::uint8_t* image, std::size_t size, ImportResolver resolver,
                        void* resolverValue) {
    if (base_) Free();
    base_ = map(image, size, resolver, resolverValue);
    return base_ != nullptr;
}

std::uint8_t* MemoryModule::map(const std::uint8_t* image, std::size_t size, ImportResolver resolver,
                                void* value) {
    const ImageBytes file(image, size);
    const auto headers = readImageHeaders(file);
    if (!headers) return nullptr;
    const auto imageSize = mappedImageSize(*headers);
    if (!imageSize || (headers->entryPoint != 0 && headers->entryPoint >= *imageSize)) return nullptr;

    MappedRegion region(headers->preferredBase, *imageSize);
    if (!region.valid()) return nullptr;
    std::uint8_t* base = region.base();
    const auto delta = static_cast<std::int64_t>(reinterpret_cast<std::uint64_t>(base) - headers->preferredBase);
    // Without relocations an image works only where it was linked to be.
    if (delta != 0 && headers->relocations.size == 0) return nullptr;
    if (!copyHeadersAndSections(file, *headers, base, *imageSize) ||
        !applyRelocations(base, *imageSize, headers->relocations, delta) ||
        !resolveImports(base, *imageSize, headers->imports, hosts_, resolver, value) ||
        !protectSections(base, *headers, *imageSize))
        return nullptr;

    if (runsEntryPoint_ && !callEntry(base, *headers, processAttach)) {
        callEntry(base, *headers, processDetach);
        return nullptr;
    }
    size_ = *imageSize;
    return region.release();
}

bool MemoryModule::Free() {
    if (!base_) return true;
    // The headers inside the image passed every check when it was mapped.
    if (const auto headers = readImageHeaders(ImageBytes(base_, size_)); headers && runsEntryPoint_)
        callEntry(base_, *headers, processDetach);
    if (!unmapRegion(base_, size_)) return false;
    base_ = nullptr;
    size_ = 0;
    return true;
}

std::uintptr_t MemoryModule::GetProc(std::string_view nameOrOrdinal) const {
    if (!base_) return 0;
    const ImageBytes image(base_, size_);
    const auto headers = readImageHeaders(image);
    if (!headers) return 0;
    std::string forwardedTo;
    const std::uint32_t at = findExport(image, headers->exports, nameOrOrdinal, &forwardedTo);
    if (!forwardedTo.empty())
        problem_ = std::string(nameOrOrdinal) + " is forwarded to " + forwardedTo + ", which this loader does not follow";
    return at ? reinterpret_cast<std::uintptr_t>(base_ + at) : 0;
}

}  // namespace zorvan::pe
