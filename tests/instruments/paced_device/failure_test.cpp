// A device that fails for good, one that is busy, and what the device
// refuses: options, parameters, files it cannot use.
#include <gtest/gtest.h>
#include <poll.h>

#include <fstream>
#include <string>

#include "paced_test_support.h"

namespace paced_test {
namespace {

using paced_device::PacedDeviceOptions;

TEST(PacedFailure, FailsForGoodAfterTheGivenFrames) {
  ScratchFolder folder;
  PacedDeviceOptions options;
  options.speed = 20;
  options.failAfterFrames = 1000;
  options.report = folder / "report.txt";
  {
    PcmHandle pcm;
    ASSERT_EQ(OpenPacedDevice(folder.path(), options, pcm), 0);
    StreamSetup setup;
    setup.format = SND_PCM_FORMAT_S32_LE;
    setup.ringFrames = 8000;
    ASSERT_EQ(Configure(pcm.get(), setup), 0);

    long error = 0;
    const Bytes read = ReadFrames(pcm.get(), setup, 3000, &error);
    EXPECT_EQ(error, -ENODEV);
    ASSERT_LE(read.size(), 4000u);
    EXPECT_EQ(read, CounterFrames(0, read.size() / 4, 4));
    EXPECT_EQ(snd_pcm_state(pcm.get()), SND_PCM_STATE_DISCONNECTED);

    // Nothing brings it back.
    EXPECT_LT(snd_pcm_recover(pcm.get(), static_cast<int>(error), 1), 0);
    EXPECT_LT(snd_pcm_prepare(pcm.get()), 0);
    EXPECT_LT(snd_pcm_start(pcm.get()), 0);
    Bytes buffer(4);
    EXPECT_LT(snd_pcm_readi(pcm.get(), buffer.data(), 1), 0);
    pollfd descriptor{};
    ASSERT_EQ(snd_pcm_poll_descriptors(pcm.get(), &descriptor, 1), 1);
    ASSERT_EQ(poll(&descriptor, 1, 0), 1);
    unsigned short revents = 0;
    ASSERT_EQ(snd_pcm_poll_descriptors_revents(pcm.get(), &descriptor, 1, &revents), 0);
    EXPECT_NE(revents & POLLERR, 0);
    snd_pcm_drop(pcm.get());
    EXPECT_LT(snd_pcm_prepare(pcm.get()), 0);
  }
  const auto report = paced_device::ReadPacedDeviceReport(folder / "report.txt");
  ASSERT_TRUE(report);
  EXPECT_EQ(report->framesArrived, 1000u);
  EXPECT_LE(report->framesRead, 1000u);
  EXPECT_EQ(report->framesLost, 0u);
}

TEST(PacedFailure, PollingReaderIsWokenWithTheError) {
  ScratchFolder folder;
  PacedDeviceOptions options;
  options.speed = 20;
  options.failAfterFrames = 500;
  PcmHandle pcm;
  ASSERT_EQ(OpenPacedDevice(folder.path(), options, pcm, SND_PCM_NONBLOCK), 0);
  StreamSetup setup;
  setup.ringFrames = 8000;
  setup.periodFrames = 2000;  // the failure comes before the first period
  ASSERT_EQ(Configure(pcm.get(), setup), 0);
  pollfd descriptor{};
  ASSERT_EQ(snd_pcm_poll_descriptors(pcm.get(), &descriptor, 1), 1);
  ASSERT_EQ(snd_pcm_start(pcm.get()), 0);

  ASSERT_EQ(poll(&descriptor, 1, 2000), 1);
  unsigned short revents = 0;
  ASSERT_EQ(snd_pcm_poll_descriptors_revents(pcm.get(), &descriptor, 1, &revents), 0);
  EXPECT_NE(revents & POLLERR, 0);
  Bytes buffer(2000 * 2);
  EXPECT_EQ(snd_pcm_readi(pcm.get(), buffer.data(), 2000), -ENODEV);
  EXPECT_EQ(snd_pcm_wait(pcm.get(), 100), -ENODEV);
}

TEST(PacedLock, SecondOpenIsBusyUntilTheFirstCloses) {
  ScratchFolder folder;
  PacedDeviceOptions options;
  options.lock = folder / "device.lock";
  PcmHandle first;
  ASSERT_EQ(OpenPacedDevice(folder.path(), options, first), 0);
  PcmHandle second;
  EXPECT_EQ(OpenPacedDevice(folder.path(), options, second), -EBUSY);
  first.reset();
  EXPECT_EQ(OpenPacedDevice(folder.path(), options, second), 0);
}

// A configuration written by hand, for what the helper would not write.
int OpenWithDefinition(const ScratchFolder& folder, const std::string& body, PcmHandle& pcm) {
  const std::filesystem::path config = folder / "asound.conf";
  std::ofstream(config) << "pcm_type.paced { lib \"" << kPluginPath.string() << "\" }\n"
                        << "pcm.test { type paced\n" << body << "\n}\n";
  return OpenFromConfig(config, "test", pcm);
}

TEST(PacedOpen, AcceptsSpeedAsIntegerRealOrString) {
  ScratchFolder folder;
  for (const char* speed : {"speed 10", "speed 0.5", "speed \"2.125\"", "speed 1000"}) {
    PcmHandle pcm;
    EXPECT_EQ(OpenWithDefinition(folder, speed, pcm), 0) << speed;
  }
}

TEST(PacedOpen, RefusesOptionsItDoesNotKnow) {
  ScratchFolder folder;
  for (const char* body : {"speed 0", "speed 0.0001", "speed \"1.0005\"", "speed 1001",
                           "speed \"fast\"", "speed -1", "offset -1", "offset \"4k\"",
                           "fail_after_frames 1.5", "wake_until_frames -1", "loop maybe",
                           "file \"\"", "volume 3"}) {
    PcmHandle pcm;
    EXPECT_EQ(OpenWithDefinition(folder, body, pcm), -EINVAL) << body;
  }
}

TEST(PacedOpen, RefusesFilesItCannotOpen) {
  ScratchFolder folder;
  PcmHandle pcm;
  PacedDeviceOptions options;
  options.file = folder / "missing.raw";
  EXPECT_EQ(OpenPacedDevice(folder.path(), options, pcm), -ENOENT);
  options.file.clear();
  options.lock = folder / "missing" / "device.lock";
  EXPECT_EQ(OpenPacedDevice(folder.path(), options, pcm), -ENOENT);
}

TEST(PacedOpen, CapturesOnly) {
  ScratchFolder folder;
  const std::filesystem::path config =
      paced_device::WritePacedDeviceConfig(folder.path(), kPluginPath, {});
  PcmHandle pcm;
  EXPECT_EQ(OpenFromConfig(config, "default", pcm, 0, SND_PCM_STREAM_PLAYBACK), -EINVAL);
}

TEST(PacedOpen, HardwareParametersOfASoundCard) {
  ScratchFolder folder;
  const auto configured = [&](const StreamSetup& setup) {
    PcmHandle pcm;
    const int opened = OpenPacedDevice(folder.path(), {}, pcm);
    return opened < 0 ? opened : Configure(pcm.get(), setup);
  };
  StreamSetup setup;
  setup.rate = 1;
  setup.ringFrames = 4;
  setup.periodFrames = 2;
  EXPECT_EQ(configured(setup), 0);
  setup.rate = 384000;
  setup.ringFrames = 38400;
  setup.periodFrames = 9600;
  EXPECT_EQ(configured(setup), 0);
  setup.rate = 384001;
  EXPECT_LT(configured(setup), 0);

  StreamSetup other;
  other.channels = 3;
  EXPECT_LT(configured(other), 0);
  other = StreamSetup{};
  other.format = SND_PCM_FORMAT_S16_BE;
  EXPECT_LT(configured(other), 0);
  other = StreamSetup{};
  other.access = SND_PCM_ACCESS_RW_NONINTERLEAVED;
  EXPECT_LT(configured(other), 0);
}

TEST(PacedOpen, FileThatCannotBeReadFailsTheRead) {
  ScratchFolder folder;
  PacedDeviceOptions options;
  options.file = "/proc/self/mem";  // opens, but reading address 0 fails
  PcmHandle pcm;
  ASSERT_EQ(OpenPacedDevice(folder.path(), options, pcm), 0);
  const StreamSetup setup;
  ASSERT_EQ(Configure(pcm.get(), setup), 0);
  long error = 0;
  const Bytes read = ReadFrames(pcm.get(), setup, 400, &error);
  EXPECT_EQ(error, -EIO);
  EXPECT_TRUE(read.empty());
}

}  // namespace
}  // namespace paced_test
