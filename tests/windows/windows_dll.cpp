#include "windows_dll.h"

#include <string>

namespace windows_test {

std::filesystem::path LoadedModulePath(const wchar_t* moduleName) {
  const HMODULE module = ::GetModuleHandleW(moduleName);
  if (module == nullptr) {
    return {};
  }
  std::wstring path(32768, L'\0');
  const DWORD length = ::GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
  path.resize(length);
  return path;
}

}  // namespace windows_test
