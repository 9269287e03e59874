// The rule that catches a device delivering too slowly, on simulated
// devices: reports of 100 ms of audio, each handed over once the device has
// captured it, some of them late as a busy machine makes them, and the rest
// read out at stop.
#include "capture_pace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace {

using Clock = orlesk::CapturePace::Clock;
using std::chrono::microseconds;

struct Phase {
  double speed;  // multiple of real time
  double seconds;
};

struct PaceCase {
  std::string name;
  std::vector<Phase> phases;
  bool behind;
};

// Runs the device through its phases at 48 kHz, starting 200 ms after the
// clock (a slow start), with every fifth report 450 ms late (a capture
// thread kept waiting for most of its ring), and stops at the end.
bool FallsBehind(const std::vector<Phase>& phases) {
  constexpr std::int64_t kRate = 48000;
  constexpr std::int64_t kReport = kRate / 10;
  const Clock::time_point start{};
  orlesk::CapturePace pace(kRate, start);
  std::int64_t now = 200000;  // microseconds
  double captured = 0;
  std::int64_t reported = 0;
  std::int64_t lastDelivery = 0;
  std::vector<std::int64_t> pending;  // delivery moments of reports made
  for (const Phase& phase : phases) {
    const auto steps = static_cast<std::int64_t>(phase.seconds * 1000);
    for (std::int64_t step = 0; step < steps; ++step) {
      now += 1000;
      captured += phase.speed * kRate / 1000;
      while (captured >= static_cast<double>((reported + 1) * kReport)) {
        ++reported;
        lastDelivery = std::max(lastDelivery, now + (reported % 5 == 0 ? 450000 : 0));
        pending.push_back(lastDelivery);
      }
      while (!pending.empty() && pending.front() <= now) {
        pace.Count(kReport, start + microseconds(pending.front()));
        pending.erase(pending.begin());
      }
    }
  }
  // Stop: whatever was captured and not yet reported is read out, in the
  // device's last report.
  const auto counted = (reported - static_cast<std::int64_t>(pending.size())) * kReport;
  pace.Count(static_cast<std::uint64_t>(static_cast<std::int64_t>(captured) - counted),
             start + microseconds(now));
  return pace.FellBehind();
}

void PrintTo(const PaceCase& device, std::ostream* out) { *out << device.name; }

class CapturePaceRule : public ::testing::TestWithParam<PaceCase> {};

TEST_P(CapturePaceRule, CatchesADeviceClearlyBehindTheClockAndNoOtherFellBehind) {
  EXPECT_EQ(FallsBehind(GetParam().phases), GetParam().behind);
}

INSTANTIATE_TEST_SUITE_P(
    Devices, CapturePaceRule,
    ::testing::Values(
        // A little slow or fast, for half an hour.
        PaceCase{"SlightlySlowForHalfAnHour", {{0.98, 1800}}, false},
        PaceCase{"SlightlyFastForHalfAnHour", {{1.02, 1800}}, false},
        PaceCase{"FastThenRealTime", {{20, 60}, {1, 60}}, false},
        // Trickling from the start: caught within a few seconds.
        PaceCase{"HalfSpeed", {{0.5, 3}}, true}, PaceCase{"ATenth", {{0.1, 2}}, true},
        PaceCase{"AHundredth", {{0.01, 2}}, true},
        PaceCase{"AThousandth", {{0.001, 2}}, true},
        // Trickling for a few seconds in the middle of a long recording,
        // even once it keeps pace again.
        PaceCase{"HalfSpeedAfterTenMinutes", {{1, 600}, {0.5, 4}}, true},
        PaceCase{"HalfSpeedForAWhileThenRealTime", {{1, 60}, {0.5, 4}, {1, 600}}, true}),
    [](const ::testing::TestParamInfo<PaceCase>& device) { return device.param.name; });

}  // namespace
