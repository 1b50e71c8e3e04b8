#pragma once

#include <cstdio>
#include <cstdlib>

// A property a fuzz target holds: broken, it stops the run with the input
// kept as a finding, like a crash.
#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)
