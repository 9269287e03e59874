// Status values shared by both libraries. Each library's public header
// names its own statuses; success is the same everywhere.
#pragma once

#include <cstdint>

namespace common {

inline constexpr std::int32_t kStatusSuccess = 999;

}  // namespace common
