// Helpers of the Windows tests: where a loaded DLL's file is, and typed
// lookups of its exports.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <filesystem>

namespace windows_test {

// The file a module loaded into this process was loaded from; empty when
// no such module is loaded.
std::filesystem::path LoadedModulePath(const wchar_t* moduleName);

// GetProcAddress by name or by ordinal (MAKEINTRESOURCEA), as the caller's
// function type.
template <typename Function>
Function Lookup(HMODULE module, const char* nameOrOrdinal) {
  // Through void*: FARPROC and Function are unrelated function types.
  return reinterpret_cast<Function>(
      reinterpret_cast<void*>(::GetProcAddress(module, nameOrOrdinal)));
}

}  // namespace windows_test
