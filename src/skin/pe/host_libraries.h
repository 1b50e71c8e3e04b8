#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zorvan::pe {

// The libraries a mapped image may import from: functions of this program
// under a library name, standing in for the system's loader. Library names
// match without regard to ASCII case, function names exactly; a function's
// ordinal is its place in its library, counted from 1. Every function given
// here must use the Microsoft x64 calling convention, as the image calls it.
class HostLibraries {
public:
    void add(std::string_view library, std::string_view function, std::uintptr_t address);

    // A handle for the library, or 0 when there is none by that name.
    std::uintptr_t load(std::string_view library) const;
    // The function's address, or 0 when the library has none by that name or ordinal.
    std::uintptr_t procAddress(std::uintptr_t library, std::string_view function) const;
    std::uintptr_t procAddress(std::uintptr_t library, std::uint16_t ordinal) const;

private:
    struct Function {
        std::string name;
        std::uintptr_t address;
    };
    struct Library {
        std::string name;
        std::vector<Function> functions;
    };
    const Library* library(std::uintptr_t handle) const;

    std::vector<Library> libraries_;
};

}  // namespace zorvan::pe
