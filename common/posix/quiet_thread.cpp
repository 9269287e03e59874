#include "quiet_thread.h"

#include <pthread.h>
#include <signal.h>

namespace common {

std::thread StartThreadWithoutSignals(std::function<void()> body) {
  // A new thread inherits its creator's mask: block everything for the
  // moment of its creation, then restore ours.
  sigset_t all;
  sigset_t previous;
  sigfillset(&all);
  ::pthread_sigmask(SIG_SETMASK, &all, &previous);
  try {
    std::thread thread(std::move(body));
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return thread;
  } catch (...) {
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    throw;
  }
}

}  // namespace common
