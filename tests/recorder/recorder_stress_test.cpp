// Many recordings, each stopped while the device is reporting as fast as it
// can: stop races the reports. Every file must come out finished, holding
// whole frames of the device's audio, the last ones included, and nothing
// else. The device delivers less than the queue holds, so that no frame is
// lost however slow the disk. Run it under
// ThreadSanitizer with scripts/hardening.sh tsan-gcc tsan-clang.
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <thread>
#include <vector>

#include "fake_capture.h"
#include "orlesk.h"
#include "recorder.h"
#include "recorder_test_support.h"

namespace {

using namespace recorder_test;
using namespace test_support;

TEST(RecorderStress, StopRacingReportsAlwaysLeavesAFinishedFileOfEveryFrame) {
  ScratchFolder dir;
  fake::FakeCaptureSystem fake;
  fake.freeRunning = true;
  fake.bytesAtStop = 1000;
  orlesk::Recorder recorder{fake};
  std::mt19937 random(12345);
  std::uniform_int_distribution<int> pauseMicroseconds(0, 300);
  struct Format {
    std::int32_t rate, bits;
    std::size_t frameBytes;
  };
  const Format formats[] = {{8000, 16, 2}, {805, 16, 2}, {11025, 8, 1}, {8000, 24, 3}};
  int cyclesWithReports = 0;

  for (int cycle = 0; cycle < 300; ++cycle) {
    const Format& format = formats[cycle % 4];
    const auto path = dir / ("cycle" + std::to_string(cycle % 2) + ".wav");
    fake.freeRunningLimit = 4 * static_cast<std::uint64_t>(format.rate) * format.frameBytes;
    ASSERT_EQ(recorder.Start(Utf16Path(path).c_str(), format.rate, format.bits),
              ORLESK_SUCCESS);
    // Most stops race the first report; every 50th waits long enough for
    // reports to arrive even on a busy machine.
    const int pause = cycle % 50 == 49 ? 100000 : pauseMicroseconds(random);
    std::this_thread::sleep_for(std::chrono::microseconds(pause));
    ASSERT_EQ(recorder.Stop(), ORLESK_SUCCESS) << "cycle " << cycle;

    const std::vector<std::uint8_t> file = ReadWholeFile(path);
    ASSERT_GE(file.size(), 44u);
    const std::size_t audioBytes = file.size() - 44;
    ASSERT_EQ(Le32At(file, 40), audioBytes) << "cycle " << cycle;
    ASSERT_EQ(Le32At(file, 4), audioBytes + 36) << "cycle " << cycle;
    ASSERT_EQ(audioBytes % format.frameBytes, 0u) << "cycle " << cycle;
    cyclesWithReports += audioBytes > fake.bytesAtStop ? 1 : 0;
    for (std::size_t i = 0; i < audioBytes; ++i) {
      ASSERT_EQ(file[44 + i], fake::PatternByte(i)) << "cycle " << cycle << " byte " << i;
    }
  }
  // Stops land both before the first report and in the middle of the run.
  EXPECT_GT(cyclesWithReports, 0);
  EXPECT_EQ(fake.opens, 300);
  EXPECT_EQ(fake.closes, 300);
}

}  // namespace
