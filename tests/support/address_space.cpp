#include "address_space.h"

#if !defined(_WIN32)
#include <sys/resource.h>
#include <unistd.h>
#endif

#include <csignal>
#include <cstdio>

namespace test_support {

#if defined(_WIN32)

bool LimitAddressSpace(std::size_t) { return false; }

#else

bool LimitAddressSpace(std::size_t headroom) {
  unsigned long mappedPages = 0;
  std::FILE* statm = std::fopen("/proc/self/statm", "r");
  if (statm == nullptr) {
    return false;
  }
  const bool read = std::fscanf(statm, "%lu", &mappedPages) == 1;
  std::fclose(statm);
  if (!read) {
    return false;
  }
  const rlim_t bytes = mappedPages * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE)) + headroom;
  const rlimit limit{bytes, bytes};
  return ::setrlimit(RLIMIT_AS, &limit) == 0;
}

void LimitFileSize(std::uint64_t bytes) {
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit limit{};
  ::getrlimit(RLIMIT_FSIZE, &limit);
  limit.rlim_cur = static_cast<rlim_t>(bytes);
  ::setrlimit(RLIMIT_FSIZE, &limit);
}

void LiftFileSizeLimit() {
  rlimit limit{};
  ::getrlimit(RLIMIT_FSIZE, &limit);
  limit.rlim_cur = limit.rlim_max;
  ::setrlimit(RLIMIT_FSIZE, &limit);
}

#endif

}  // namespace test_support
