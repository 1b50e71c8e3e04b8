// The program's allocations: one the system refuses ends the program with
// the fatal box that names its size, instead of an unexplained abort.
// Only the GUI program replaces these; deletes are replaced with them so
// every block goes back to the allocator it came from.
#include "shell/fatal_error.h"
#include "shell/program_end.h"

#include <cstdlib>
#include <new>

namespace {

void* allocate(std::size_t bytes) {
    if (void* block = std::malloc(bytes ? bytes : 1)) return block;
    zorvan::outOfMemory(bytes);
}

}  // namespace

void* operator new(std::size_t bytes) { return allocate(bytes); }
void* operator new[](std::size_t bytes) { return allocate(bytes); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
