// Invariant checks for the fuzz targets. A broken invariant prints what
// broke and aborts, which libFuzzer records as a crash (keeping the input)
// and which fails the replay test in an ordinary build.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                 \
  do {                                                                        \
    if (!(condition)) {                                                       \
      std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, \
                   #condition);                                               \
      std::abort();                                                           \
    }                                                                         \
  } while (false)
