// The DLL's entry point and its pinning.
#include "library_lifetime.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <atomic>

namespace common {

namespace {

constinit std::atomic<void (*)()> processEndHandler{nullptr};

}  // namespace

void KeepLibraryLoadedUntilProcessEnd(void (*atProcessEnd)()) {
  processEndHandler.store(atProcessEnd);
  // Pins the module holding this function, for the rest of the process.
  HMODULE self = nullptr;
  ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&KeepLibraryLoadedUntilProcessEnd), &self);
}

}  // namespace common

// Runs before the C runtime's exit-time destructors. `reserved` is not null
// when the process is ending rather than the DLL being unloaded.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_DETACH && reserved != nullptr) {
    if (void (*handler)() = common::processEndHandler.load()) {
      handler();
    }
  }
  return TRUE;
}
