#pragma once

namespace zorvan::test {

// Built with AddressSanitizer or ThreadSanitizer: every thread runs several
// times slower, so a test that also times something allows for it.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool sanitized = true;
#else
inline constexpr bool sanitized = false;
#endif

}  // namespace zorvan::test
