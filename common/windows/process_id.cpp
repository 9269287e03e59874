// Windows has no fork(): a child process never holds a copy of our memory,
// so this id only ever names the process that started a recording.
#include "process_id.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace common {

std::uint32_t CurrentProcessId() { return static_cast<std::uint32_t>(::GetCurrentProcessId()); }

}  // namespace common
