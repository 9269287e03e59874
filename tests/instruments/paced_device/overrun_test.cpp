// A reader that falls behind: -EPIPE, and after recovery capture goes on
// with the frame after the lost ones; drop and reset throw away what was
// not read. Frame counters show exactly which frames came through.
#include <gtest/gtest.h>
#include <poll.h>

#include <chrono>
#include <thread>
#include <vector>

#include "paced_test_support.h"

namespace paced_test {
namespace {

using paced_device::PacedDeviceOptions;

// S32_LE mono: each frame carries its whole number.
StreamSetup CounterSetup() {
  StreamSetup setup;
  setup.format = SND_PCM_FORMAT_S32_LE;
  return setup;
}

// The ring holds 500 ms, so that only the test's own sleep overruns it: a
// busy machine that holds up the reads around it for a tenth of a second
// must not make a second overrun.
TEST(PacedOverrun, SlowReaderLosesTheRingAndTheFrameThatDidNotFit) {
  ScratchFolder folder;
  PacedDeviceOptions options;
  options.report = folder / "report.txt";
  {
    PcmHandle pcm;
    ASSERT_EQ(OpenPacedDevice(folder.path(), options, pcm), 0);
    StreamSetup setup = CounterSetup();
    setup.ringFrames = 4000;
    ASSERT_EQ(Configure(pcm.get(), setup), 0);
    EXPECT_EQ(ReadFrames(pcm.get(), setup, 300), CounterFrames(0, 300, 4));

    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    Bytes buffer(4);
    ASSERT_EQ(snd_pcm_readi(pcm.get(), buffer.data(), 1), -EPIPE);
    EXPECT_EQ(snd_pcm_state(pcm.get()), SND_PCM_STATE_XRUN);
    EXPECT_EQ(snd_pcm_avail(pcm.get()), -EPIPE);

    ASSERT_EQ(snd_pcm_recover(pcm.get(), -EPIPE, 1), 0);
    // 300 read, 4000 in the ring and the one that met a full ring are gone.
    EXPECT_EQ(ReadFrames(pcm.get(), setup, 300), CounterFrames(4301, 300, 4));
  }
  const auto report = paced_device::ReadPacedDeviceReport(folder / "report.txt");
  ASSERT_TRUE(report);
  EXPECT_EQ(report->framesRead, 600u);
  EXPECT_EQ(report->framesLost, 4001u);
  EXPECT_EQ(report->overruns, 1u);
  EXPECT_GE(report->framesArrived, 4601u);
  EXPECT_LE(report->framesArrived, 4601u + 4000u);
}

TEST(PacedOverrun, WaitingReaderIsWokenWithTheError) {
  ScratchFolder folder;
  PacedDeviceOptions options;
  options.speed = 10;
  PcmHandle pcm;
  ASSERT_EQ(OpenPacedDevice(folder.path(), options, pcm, SND_PCM_NONBLOCK), 0);
  const StreamSetup setup = CounterSetup();
  ASSERT_EQ(Configure(pcm.get(), setup), 0);
  pollfd descriptor{};
  ASSERT_EQ(snd_pcm_poll_descriptors(pcm.get(), &descriptor, 1), 1);
  ASSERT_EQ(snd_pcm_start(pcm.get()), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(60));

  ASSERT_EQ(poll(&descriptor, 1, 1000), 1);
  unsigned short revents = 0;
  ASSERT_EQ(snd_pcm_poll_descriptors_revents(pcm.get(), &descriptor, 1, &revents), 0);
  EXPECT_EQ(revents, POLLIN | POLLERR);
  EXPECT_EQ(snd_pcm_wait(pcm.get(), 1000), -EPIPE);
}

TEST(PacedOverrun, DropThrowsAwayUnreadFramesAndCaptureGoesOn) {
  ScratchFolder folder;
  PacedDeviceOptions options;
  options.report = folder / "report.txt";
  std::uint64_t resumedAt = 0;
  {
    PcmHandle pcm;
    ASSERT_EQ(OpenPacedDevice(folder.path(), options, pcm), 0);
    StreamSetup setup = CounterSetup();
    setup.ringFrames = 8000;
    ASSERT_EQ(Configure(pcm.get(), setup), 0);
    ASSERT_EQ(ReadFrames(pcm.get(), setup, 100), CounterFrames(0, 100, 4));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const snd_pcm_sframes_t unread = snd_pcm_avail(pcm.get());
    ASSERT_GE(unread, 150);
    ASSERT_EQ(snd_pcm_drop(pcm.get()), 0);
    ASSERT_EQ(snd_pcm_prepare(pcm.get()), 0);

    const Bytes read = ReadFrames(pcm.get(), setup, 50);
    ASSERT_EQ(read.size(), 200u);
    resumedAt = CounterOf(read, 0, 4);
    // The frames that were waiting at the drop never come; the moment
    // between avail and drop may have brought a few more.
    EXPECT_GE(resumedAt, 100u + static_cast<std::uint64_t>(unread));
    EXPECT_LE(resumedAt, 100u + static_cast<std::uint64_t>(unread) + 80);
    EXPECT_EQ(read, CounterFrames(resumedAt, 50, 4));
  }
  const auto report = paced_device::ReadPacedDeviceReport(folder / "report.txt");
  ASSERT_TRUE(report);
  EXPECT_EQ(report->framesRead, 150u);
  EXPECT_EQ(report->framesLost, 0u);
  EXPECT_EQ(report->overruns, 0u);
  EXPECT_GE(report->framesArrived, resumedAt + 50);
}

TEST(PacedOverrun, ResetThrowsAwayUnreadFramesWhileRunning) {
  ScratchFolder folder;
  PacedDeviceOptions options;
  PcmHandle pcm;
  ASSERT_EQ(OpenPacedDevice(folder.path(), options, pcm), 0);
  StreamSetup setup = CounterSetup();
  setup.ringFrames = 8000;
  ASSERT_EQ(Configure(pcm.get(), setup), 0);
  ASSERT_EQ(snd_pcm_start(pcm.get()), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const snd_pcm_sframes_t unread = snd_pcm_avail(pcm.get());
  ASSERT_GE(unread, 150);
  ASSERT_EQ(snd_pcm_reset(pcm.get()), 0);
  EXPECT_LT(snd_pcm_avail(pcm.get()), 80);

  const Bytes read = ReadFrames(pcm.get(), setup, 50);
  ASSERT_EQ(read.size(), 200u);
  const std::uint64_t first = CounterOf(read, 0, 4);
  EXPECT_GE(first, static_cast<std::uint64_t>(unread));
  EXPECT_LE(first, static_cast<std::uint64_t>(unread) + 80);
  EXPECT_EQ(read, CounterFrames(first, 50, 4));
  EXPECT_EQ(snd_pcm_state(pcm.get()), SND_PCM_STATE_RUNNING);
}

}  // namespace
}  // namespace paced_test
