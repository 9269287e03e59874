#include "process_bound_mutex.h"

#include "process_id.h"

namespace orlesk {

bool ProcessBoundMutex::Lock() {
  const std::uint32_t self = common::CurrentProcessId();
  for (;;) {
    std::uint32_t holder = 0;
    if (holder_.compare_exchange_strong(holder, self)) {
      return true;
    }
    if (holder != self) {
      return false;
    }
    holder_.wait(holder);
  }
}

void ProcessBoundMutex::Unlock() {
  holder_.store(0);
  holder_.notify_all();
}

}  // namespace orlesk
