#include "skin/pe/host_libraries.h"

#include "text/ascii_case.h"

namespace zorvan::pe {

void HostLibraries::add(std::string_view library, std::string_view function, std::uintptr_t address) {
    std::uintptr_t handle = load(library);
    if (handle == 0) {
        libraries_.push_back({std::string(library), {}});
        handle = libraries_.size();
    }
    libraries_[handle - 1].functions.push_back({std::string(function), address});
}

std::uintptr_t HostLibraries::load(std::string_view library) const {
    for (std::size_t i = 0; i < libraries_.size(); ++i)
        if (libraries_[i].name.size() == library.size() && startsWithIgnoringCase(libraries_[i].name, library))
            return i + 1;
    return 0;
}

const HostLibraries::Library* HostLibraries::library(std::uintptr_t handle) const {
    if (handle == 0 || handle > libraries_.size()) return nullptr;
    return &libraries_[handle - 1];
}

std::uintptr_t HostLibraries::procAddress(std::uintptr_t handle, std::string_view function) const {
    if (const Library* found = library(handle))
        for (const Function& f : found->functions)
            if (f.name == function) return f.address;
    return 0;
}

std::uintptr_t HostLibraries::procAddress(std::uintptr_t handle, std::uint16_t ordinal) const {
    const Library* found = library(handle);
    if (!found || ordinal == 0 || ordinal > found->functions.size()) return 0;
    return found->functions[ordinal - 1].address;
}

}  // namespace zorvan::pe
