// Limiting a process's address space or its files' size, so that a test
// can make allocations or writes fail in a child process of its own.
#pragma once

#include <cstddef>
#include <cstdint>

namespace test_support {

// Limits this process's address space to what it maps now plus `headroom`
// bytes. False when the limit cannot be set.
bool LimitAddressSpace(std::size_t headroom);

#if !defined(_WIN32)
// Writes past `bytes` in any file fail with EFBIG from now on (SIGXFSZ is
// ignored), as on a full disk; LiftFileSizeLimit ends that.
void LimitFileSize(std::uint64_t bytes);
void LiftFileSizeLimit();
#endif

// Sanitizers reserve far more address space than any such limit allows;
// Windows has no such limit for a process.
#if defined(_WIN32) || defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool kAddressSpaceCanBeLimited = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
inline constexpr bool kAddressSpaceCanBeLimited = false;
#else
inline constexpr bool kAddressSpaceCanBeLimited = true;
#endif
#else
inline constexpr bool kAddressSpaceCanBeLimited = true;
#endif

}  // namespace test_support
