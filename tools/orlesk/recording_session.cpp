#include "recording_session.h"

#include <signal.h>
#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>

namespace orlesk_tool {

namespace {

constexpr std::int64_t kHeaderBytes = 44;
constexpr auto kRedrawInterval = std::chrono::milliseconds(200);

sigset_t TerminationSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  return signals;
}

std::int64_t RecordedBytes(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) {
    return 0;
  }
  return std::max<std::int64_t>(0, status.st_size - kHeaderBytes);
}

void DrawProgress(double elapsedSeconds, const std::string& path) {
  std::fprintf(stderr, "\rRecording  %7.1f s  %12lld bytes", elapsedSeconds,
               static_cast<long long>(RecordedBytes(path)));
  std::fflush(stderr);
}

// Waits up to `timeout` for a held signal; true when one arrived.
bool WaitForSignal(const sigset_t& signals, std::chrono::nanoseconds timeout) {
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(timeout);
  timespec wait{};
  wait.tv_sec = static_cast<time_t>(seconds.count());
  wait.tv_nsec = static_cast<long>((timeout - seconds).count());
  return ::sigtimedwait(&signals, nullptr, &wait) > 0;
}

}  // namespace

void HoldTerminationSignals() {
  const sigset_t signals = TerminationSignals();
  ::pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

void WaitForEndOfRecording(std::optional<double> seconds, const std::string& outputPath,
                           bool progress) {
  using Clock = std::chrono::steady_clock;
  const sigset_t signals = TerminationSignals();
  const Clock::time_point start = Clock::now();
  const auto limit = seconds ? std::chrono::duration_cast<Clock::duration>(
                                   std::chrono::duration<double>(*seconds))
                             : Clock::duration::max();
  for (;;) {
    const Clock::duration elapsed = Clock::now() - start;
    if (progress) {
      DrawProgress(std::chrono::duration<double>(elapsed).count(), outputPath);
    }
    if (elapsed >= limit) {
      break;
    }
    const Clock::duration left = limit - elapsed;
    const Clock::duration wait = progress ? std::min<Clock::duration>(left, kRedrawInterval) : left;
    // Without a limit and without progress, wake now and then anyway: a
    // nanosecond count of "forever" would not fit a timespec on 32-bit hosts.
    if (WaitForSignal(signals, std::min<Clock::duration>(wait, std::chrono::hours(1)))) {
      break;
    }
  }
  if (progress) {
    std::fputc('\n', stderr);
  }
}

}  // namespace orlesk_tool
