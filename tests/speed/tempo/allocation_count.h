// How many allocations this process has made: the test executable replaces
// the global operator new to count them.
#pragma once

#include <cstddef>

namespace tempo_test {

std::size_t AllocationsSoFar();

}  // namespace tempo_test
