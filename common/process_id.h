// Which process is running: a fork() child has another identity than the
// parent it copies.
#pragma once

#include <cstdint>

namespace common {

// Never 0.
std::uint32_t CurrentProcessId();

}  // namespace common
