// Threads that a library starts take no signals: those belong to the host's
// own threads, which may be waiting for them (sigwait) or rely on where
// their handlers run.
#pragma once

#include <functional>
#include <thread>

namespace common {

// Runs `body` on a new thread with every signal blocked. Throws
// std::system_error, as std::thread does, when no thread can be started.
std::thread StartThreadWithoutSignals(std::function<void()> body);

}  // namespace common
