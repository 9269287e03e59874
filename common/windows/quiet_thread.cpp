// Windows delivers no signals to threads (a console's Ctrl+C handler runs
// on a thread of its own), so a plain thread takes none already.
#include "quiet_thread.h"

namespace common {

std::thread StartThreadWithoutSignals(std::function<void()> body) {
  return std::thread(std::move(body));
}

}  // namespace common
