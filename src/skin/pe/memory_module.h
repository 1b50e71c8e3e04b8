#pragma once

#include "skin/pe/host_libraries.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zorvan::pe {

// Answers an import before the host libraries are asked: the library's
// name, the function's name (an ordinal as decimal text) and the value
// given to Load. 0 leaves the import to the host libraries.
using ImportResolver = std::uintptr_t (*)(const char* library, const char* function, void* value);

// Maps a PE32+ x86-64 DLL image from memory and runs it: the loader of the
// program's own libraries, which never exist as files. Imports come from
// the host libraries given at construction. Every offset in the image is
// checked before use; a damaged image is refused with nothing left mapped.
class MemoryModule {
public:
    explicit MemoryModule(const HostLibraries& hosts) : hosts_(hosts) {}
    MemoryModule(HostLibraries&&) = delete;  // the table must outlive the module
    ~MemoryModule() { Free(); }
    MemoryModule(const MemoryModule&) = delete;
    MemoryModule& operator=(const MemoryModule&) = delete;

    // Maps the image (after freeing one mapped before). True when mapped.
    bool Load(const std::uint8_t* image, std::size_t size, ImportResolver resolver = nullptr,
              void* resolverValue = nullptr);
    // Detaches and unmaps the image; true when nothing is mapped afterwards.
    bool Free();
    // The export's address by exact name, or by ordinal written as decimal
    // text; 0 when there is none.
    std::uintptr_t GetProc(std::string_view nameOrOrdinal) const;
    // The mapped image's base address; 0 when nothing is mapped.
    std::uintptr_t handle() const { return reinterpret_cast<std::uintptr_t>(base_); }
    // How many bytes from handle() the image takes; 0 when nothing is mapped.
    std::size_t mappedSize() const { return size_; }
    // Why the last GetProc found nothing where the image names something
    // (an export forwarded to another library); empty otherwise.
    const std::string& problem() const { return problem_; }
    // Off, Load and Free map and unmap without running the image's entry
    // point: for images that are only looked at (tests, fuzzing).
    void setRunsEntryPoint(bool runs) { runsEntryPoint_ = runs; }

private:
    std::uint8_t* map(const std::uint8_t* image, std::size_t size, ImportResolver resolver, void* value);

    const HostLibraries& hosts_;
    std::uint8_t* base_ = nullptr;
    std::size_t size_ = 0;
    bool runsEntryPoint_ = true;
    mutable std::string problem_;
};

}  // namespace zorvan::pe
