// A host's path as the UTF-16 code units both libraries work on. The public
// headers take wchar_t on Windows, where it is 16 bits wide and holds
// exactly those units, and char16_t elsewhere.
#pragma once

namespace common {

inline const char16_t* AsUtf16(const char16_t* path) { return path; }

#if defined(_WIN32)
static_assert(sizeof(wchar_t) == sizeof(char16_t), "wchar_t holds UTF-16 on Windows");
inline const char16_t* AsUtf16(const wchar_t* path) {
  return reinterpret_cast<const char16_t*>(path);
}
#endif

}  // namespace common
