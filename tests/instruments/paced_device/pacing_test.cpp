// When frames arrive: rate × speed per second of real time from the start,
// a poll wake-up per period, nothing early. Bounds come from the moments
// measured around each call, so a busy machine cannot make them fail.
#include <gtest/gtest.h>
#include <poll.h>

#include <chrono>
#include <thread>
#include <vector>

#include "paced_test_support.h"

namespace paced_test {
namespace {

using paced_device::PacedDeviceOptions;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration duration) {
  return std::chrono::duration<double>(duration).count();
}

TEST(PacedPacing, ArrivalKeepsToRealTimeTimesSpeed) {
  ScratchFolder folder;
  for (const double speed : {0.5, 1.0, 10.0, 50.0}) {
    PacedDeviceOptions options;
    options.speed = speed;
    PcmHandle pcm;
    ASSERT_EQ(OpenPacedDevice(folder.path(), options, pcm), 0);
    StreamSetup setup;
    setup.ringFrames = 1 << 20;  // 2.6 s at speed 50: never overruns here
    setup.periodFrames = 1 << 16;
    ASSERT_EQ(Configure(pcm.get(), setup), 0);

    const Clock::time_point beforeStart = Clock::now();
    ASSERT_EQ(snd_pcm_start(pcm.get()), 0);
    const Clock::time_point afterStart = Clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    const Clock::time_point beforeAvail = Clock::now();
    const snd_pcm_sframes_t avail = snd_pcm_avail(pcm.get());
    const Clock::time_point afterAvail = Clock::now();

    const double framesPerSecond = setup.rate * speed;
    const double fewest = Seconds(beforeAvail - afterStart) * framesPerSecond;
    const double most = Seconds(afterAvail - beforeStart) * framesPerSecond;
    EXPECT_GE(static_cast<double>(avail), fewest - 2) << "speed " << speed;
    EXPECT_LE(static_cast<double>(avail), most + 2) << "speed " << speed;
  }
}

TEST(PacedPacing, BlockingReadTakesItsRealTime) {
  ScratchFolder folder;
  PacedDeviceOptions options;
  options.speed = 10;
  PcmHandle pcm;
  ASSERT_EQ(OpenPacedDevice(folder.path(), options, pcm), 0);
  StreamSetup setup;
  // The ring holds the whole read, so that a reader held up on a busy
  // machine meets no overrun (with 8000 frames, a 100 ms stall did).
  setup.ringFrames = 16000;
  setup.periodFrames = 800;
  ASSERT_EQ(Configure(pcm.get(), setup), 0);

  // 12000 frames are 1.5 s of audio: 150 ms at speed 10.
  const Clock::time_point start = Clock::now();
  long error = 0;
  const Bytes read = ReadFrames(pcm.get(), setup, 12000, &error);
  const double elapsed = Seconds(Clock::now() - start);
  ASSERT_EQ(error, 0);
  EXPECT_EQ(read, CounterFrames(0, 12000, 2));
  EXPECT_GE(elapsed, 0.149);
  EXPECT_LT(elapsed, 1.5);
}

TEST(PacedPacing, PollWakesWhenAPeriodHasArrived) {
  ScratchFolder folder;
  PacedDeviceOptions options;
  PcmHandle pcm;
  ASSERT_EQ(OpenPacedDevice(folder.path(), options, pcm, SND_PCM_NONBLOCK), 0);
  StreamSetup setup;
  setup.ringFrames = 1600;
  setup.periodFrames = 400;  // 50 ms
  ASSERT_EQ(Configure(pcm.get(), setup), 0);
  const int count = snd_pcm_poll_descriptors_count(pcm.get());
  ASSERT_GT(count, 0);
  std::vector<pollfd> descriptors(static_cast<std::size_t>(count));
  ASSERT_EQ(snd_pcm_poll_descriptors(pcm.get(), descriptors.data(),
                                     static_cast<unsigned>(count)),
            count);

  // Prepared, not started: nothing to wait for.
  EXPECT_EQ(poll(descriptors.data(), descriptors.size(), 20), 0);

  const Clock::time_point start = Clock::now();
  ASSERT_EQ(snd_pcm_start(pcm.get()), 0);
  Bytes buffer(1600 * 2);
  snd_pcm_uframes_t total = 0;
  for (int period = 1; period <= 4; ++period) {
    ASSERT_EQ(poll(descriptors.data(), descriptors.size(), 2000), 1);
    const double woke = Seconds(Clock::now() - start);
    unsigned short revents = 0;
    ASSERT_EQ(snd_pcm_poll_descriptors_revents(pcm.get(), descriptors.data(),
                                               static_cast<unsigned>(count), &revents),
              0);
    EXPECT_EQ(revents, POLLIN);
    // Never before the period has arrived.
    EXPECT_GE(woke, 0.050 * period - 0.0005) << "period " << period;
    const snd_pcm_sframes_t got = snd_pcm_readi(pcm.get(), buffer.data(), 1600);
    ASSERT_GE(got, 400);
    total += static_cast<snd_pcm_uframes_t>(got);
    // Caught up: quiet until avail_min (a period) is there again.
    EXPECT_EQ(poll(descriptors.data(), descriptors.size(), 0), 0);
  }
  EXPECT_GE(total, 1600u);
}

TEST(PacedPacing, NothingArrivesBeforeItsTime) {
  ScratchFolder folder;
  PacedDeviceOptions options;
  PcmHandle pcm;
  ASSERT_EQ(OpenPacedDevice(folder.path(), options, pcm, SND_PCM_NONBLOCK), 0);
  StreamSetup setup;
  setup.rate = 1;  // a frame a second
  setup.ringFrames = 4;
  setup.periodFrames = 2;
  ASSERT_EQ(Configure(pcm.get(), setup), 0);
  ASSERT_EQ(snd_pcm_start(pcm.get()), 0);
  Bytes buffer(8);
  EXPECT_EQ(snd_pcm_readi(pcm.get(), buffer.data(), 4), -EAGAIN);
  EXPECT_EQ(snd_pcm_wait(pcm.get(), 50), 0);
  EXPECT_EQ(snd_pcm_readi(pcm.get(), buffer.data(), 4), -EAGAIN);
}

}  // namespace
}  // namespace paced_test
