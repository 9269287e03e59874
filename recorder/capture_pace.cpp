#include "capture_pace.h"

#include <algorithm>

namespace orlesk {

namespace {

constexpr std::int64_t kTenths = 10;
constexpr std::int64_t kTenthsRequired = 9;
constexpr std::int64_t kSlackSeconds = 1;

}  // namespace

std::int64_t CapturePace::Lead(Clock::time_point now) const {
  const auto elapsed = std::max<std::int64_t>(
      0, std::chrono::duration_cast<std::chrono::milliseconds>(now - start_).count());
  // rate × elapsed, split so that it cannot overflow for any rate.
  const std::int64_t due = rate_ * (elapsed / 1000) + rate_ * (elapsed % 1000) / 1000;
  return static_cast<std::int64_t>(delivered_) * kTenths - due * kTenthsRequired;
}

void CapturePace::Count(std::uint64_t frames, Clock::time_point now) {
  delivered_ += frames;
  const std::int64_t lead = Lead(now);
  behind_ = behind_ || lead < bestLead_ - kSlackSeconds * kTenths * rate_;
  bestLead_ = std::max(bestLead_, lead);
}

}  // namespace orlesk
