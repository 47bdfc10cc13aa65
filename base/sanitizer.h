#pragma once

// KUBELMAR_ASAN is 1 in builds with AddressSanitizer (GCC defines
// __SANITIZE_ADDRESS__, clang answers __has_feature). Under it there is no
// address-space limit to set, and a segmentation fault ends a process with
// the sanitizer's report and exit status 1 instead of the signal.
#if defined(__SANITIZE_ADDRESS__)
#define KUBELMAR_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KUBELMAR_ASAN 1
#endif
#endif
