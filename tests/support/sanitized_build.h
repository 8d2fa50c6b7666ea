#pragma once
// Whether this build runs under AddressSanitizer or ThreadSanitizer. gcc
// says so by macros, clang by __has_feature; the tests ask here only.

namespace brek_test {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool SANITIZED_BUILD = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
inline constexpr bool SANITIZED_BUILD = true;
#else
inline constexpr bool SANITIZED_BUILD = false;
#endif
#else
inline constexpr bool SANITIZED_BUILD = false;
#endif

}  // namespace brek_test
