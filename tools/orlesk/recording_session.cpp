#include "recording_session.h"

#include <signal.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>

namespace orlesk_tool {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kRedrawInterval = std::chrono::milliseconds(200);
// How often a timed recording looks at the file's length, and any other
// recording at the file (as often as it redraws).
constexpr auto kLengthCheckInterval = std::chrono::milliseconds(20);
constexpr auto kFileCheckInterval = kRedrawInterval;
// A timed recording whose file has not grown for this long after its time
// is up has a device that stopped delivering (the disk may stall for a few
// seconds; the library keeps the audio meanwhile).
constexpr auto kStalledFile = std::chrono::seconds(3);

sigset_t TerminationSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGHUP);
  return signals;
}

void DrawProgress(double elapsedSeconds, std::int64_t bytes) {
  std::fprintf(stderr, "\rRecording  %7.1f s  %12lld bytes", elapsedSeconds,
               static_cast<long long>(bytes));
  std::fflush(stderr);
}

// Waits up to `timeout` for a held signal; true when one arrived.
bool WaitForSignal(const sigset_t& signals, Clock::duration timeout) {
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(timeout);
  timespec wait{};
  wait.tv_sec = static_cast<time_t>(seconds.count());
  wait.tv_nsec = static_cast<long>(
      std::chrono::duration_cast<std::chrono::nanoseconds>(timeout - seconds).count());
  return ::sigtimedwait(&signals, nullptr, &wait) > 0;
}

}  // namespace

void HoldTerminationSignals() {
  const sigset_t signals = TerminationSignals();
  ::pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

void WaitForEndOfRecording(const std::optional<RecordingLength>& length, std::uint64_t limitBytes,
                           FileWatch& file, bool progress) {
  const sigset_t signals = TerminationSignals();
  const Clock::time_point start = Clock::now();
  const auto timeUp =
      length ? start + std::chrono::duration_cast<Clock::duration>(
                           std::chrono::duration<double>(length->seconds))
             : Clock::time_point::max();
  std::int64_t bytes = -1;
  Clock::time_point lastGrowth = start;
  Clock::time_point nextRedraw = start;
  for (;;) {
    const Clock::time_point now = Clock::now();
    const std::int64_t recorded = file.Look();
    if (recorded != bytes) {
      bytes = recorded;
      lastGrowth = now;
    }
    if (file.fate() != FileFate::kInPlace || static_cast<std::uint64_t>(bytes) >= limitBytes) {
      break;
    }
    if (progress && now >= nextRedraw) {
      DrawProgress(std::chrono::duration<double>(now - start).count(), bytes);
      nextRedraw = now + kRedrawInterval;
    }
    if (length && (static_cast<std::uint64_t>(bytes) >= length->dataBytes() ||
                   (now >= timeUp && now - lastGrowth >= kStalledFile))) {
      break;
    }
    const Clock::duration wait = length ? Clock::duration(kLengthCheckInterval)
                                        : Clock::duration(kFileCheckInterval);
    if (WaitForSignal(signals, wait)) {
      break;
    }
  }
  if (progress) {
    std::fputc('\n', stderr);
  }
}

}  // namespace orlesk_tool
