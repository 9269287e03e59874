#include "process_id.h"

#include <unistd.h>

namespace common {

std::uint32_t CurrentProcessId() { return static_cast<std::uint32_t>(::getpid()); }

}  // namespace common
