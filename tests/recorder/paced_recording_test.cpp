// Recording through the shared library from the paced capture device, a
// sound card without one: every frame it captured before stop reaches the
// file, a failing device ends the recording with status 4, and children
// forked during a recording leave it alone.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <thread>

#include "orlesk.h"
#include "paced_microphone.h"

namespace {

using namespace recorder_test;
using namespace test_support;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::int32_t Start(const fs::path& path, std::int32_t rate, std::int32_t bits) {
  return StartRecordingWav(Utf16Path(path).c_str(), rate, bits);
}

class PacedRecording : public ::testing::Test {
 protected:
  // Makes the device "default" with these options and starts recording
  // from it.
  std::int32_t StartFrom(const paced_device::PacedDeviceOptions& options, std::int32_t rate,
                         std::int32_t bits) {
    microphone_.emplace(options);
    return Start(path_, rate, bits);
  }
  paced_device::PacedDeviceReport ExpectEveryFrameReadInTheFile(unsigned frameBytes) const {
    return recorder_test::ExpectEveryFrameReadInTheFile(path_, *microphone_, frameBytes);
  }

  // A test that failed half-way leaves no recording to the next.
  void TearDown() override { [[maybe_unused]] const std::int32_t stopped = StopRecordingWav(); }

  ScratchFolder dir_;
  const fs::path path_ = dir_ / "recording.wav";
  std::optional<PacedMicrophone> microphone_;
};

TEST_F(PacedRecording, StopKeepsEveryFrameTheDeviceCaptured) {
  ASSERT_EQ(StartFrom(AtSpeed(1), 8000, 16), ORLESK_SUCCESS);
  ASSERT_TRUE(WaitForAudio(path_, 8000));
  // Stop lands anywhere in a period: part of a report is in the buffer.
  std::this_thread::sleep_for(std::chrono::milliseconds(37));
  const std::int32_t stopped = StopRecordingWav();

  const paced_device::PacedDeviceReport counts = ExpectEveryFrameReadInTheFile(2);
  EXPECT_EQ(stopped, StopStatusFor(counts));
  // What arrived after the last read came after the stop: less than one
  // period (100 ms) of it.
  EXPECT_LT(counts.framesArrived - counts.framesRead - counts.framesLost, 800u);
}

TEST_F(PacedRecording, ADeviceThatFailsEndsTheRecordingAndStopReturnsFour) {
  paced_device::PacedDeviceOptions options = AtSpeed(4);
  options.failAfterFrames = 6000;
  ASSERT_EQ(StartFrom(options, 8000, 32), ORLESK_SUCCESS);
  // The device fails 190 ms into the recording; the frames its ring held
  // then are gone with it.
  std::this_thread::sleep_for(std::chrono::seconds(1));
  EXPECT_EQ(StopRecordingWav(), ORLESK_ERROR_AUDIO_LOST);
  EXPECT_EQ(ExpectEveryFrameReadInTheFile(4).framesArrived, 6000u);

  // The recorder is free for the next recording, and the device opens
  // afresh (to fail again 6000 frames later).
  EXPECT_EQ(Start(path_, 8000, 32), ORLESK_SUCCESS);
}

TEST_F(PacedRecording, ADeviceThatStopsDeliveringEndsTheRecordingAndStopReturnsFour) {
  // 10 Hz at a thousandth of real time: the first frame takes 100 s to
  // arrive. To the recorder the device has gone quiet.
  ASSERT_EQ(StartFrom(AtSpeed(0.001), 10, 16), ORLESK_SUCCESS);
  // The recorder gives up on a silent device after 2 s; stop then finds
  // capture over already.
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));
  EXPECT_EQ(StopRecordingWav(), ORLESK_ERROR_AUDIO_LOST);
  ExpectFinishedRecording(path_, 2);
}

// The device's interrupts stop 60 ms into the recording, so the capture
// thread sleeps while its ring overflows, 175 ms in: the overrun is met
// only when stop drains the ring, and still counts.
TEST_F(PacedRecording, AnOverrunMetWhileDrainingAtStopMakesStopReturnFour) {
  paced_device::PacedDeviceOptions options = AtSpeed(4);
  options.wakeUntilFrames = 2000;
  ASSERT_EQ(StartFrom(options, 8000, 32), ORLESK_SUCCESS);
  std::this_thread::sleep_for(std::chrono::milliseconds(700));
  EXPECT_EQ(StopRecordingWav(), ORLESK_ERROR_AUDIO_LOST);
  EXPECT_GE(ExpectEveryFrameReadInTheFile(4).overruns, 1u);
}

class PacedRecordingTrickle : public PacedRecording,
                              public ::testing::WithParamInterface<double> {};

// A device that keeps delivering, only far too slowly, never goes silent
// for long, yet the recording lacks most of its audio.
TEST_P(PacedRecordingTrickle, ADeviceFarSlowerThanRealTimeMakesStopReturnFour) {
  ASSERT_EQ(StartFrom(AtSpeed(GetParam()), 8000, 16), ORLESK_SUCCESS);
  std::this_thread::sleep_for(std::chrono::milliseconds(3500));
  EXPECT_EQ(StopRecordingWav(), ORLESK_ERROR_AUDIO_LOST);
  const paced_device::PacedDeviceReport counts = ExpectEveryFrameReadInTheFile(2);
  EXPECT_EQ(counts.overruns, 0u);
}

INSTANTIATE_TEST_SUITE_P(Speeds, PacedRecordingTrickle, ::testing::Values(0.5, 0.1, 0.01, 0.001));

// Set in a forked child. In a sanitizer build it skips the exit-time leak
// check, which would wait for the allocator's lock: a thread of the parent
// may have held it at the fork, and that thread is not in the child.
bool forkedChild = false;

}  // namespace

// LeakSanitizer looks this up at exit; the test program exports it.
extern "C" __attribute__((visibility("default"))) int __lsan_is_turned_off() {
  return forkedChild ? 1 : 0;
}

namespace {

// A host that forks helpers during a recording, which exit() normally: the
// exit-time stop of each child must neither touch the device (its capture
// thread exists only in the parent, and a lock it held would never be
// released) nor write the parent's file.
TEST_F(PacedRecording, ForkedChildrenThatExitLeaveTheRecordingAlone) {
  ASSERT_EQ(StartFrom(AtSpeed(8), 8000, 32), ORLESK_SUCCESS);
  constexpr int kChildren = 300;
  for (int child = 0; child < kChildren; ++child) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      forkedChild = true;
      // Some children try the exports first: the recording is not theirs.
      if (child % 3 == 0 && (StopRecordingWav() != ORLESK_ERROR_NOT_RECORDING ||
                             Start(dir_ / "child.wav", 8000, 16) !=
                                 ORLESK_ERROR_ALREADY_RECORDING)) {
        std::_Exit(3);
      }
      std::exit(0);
    }
    // A child that hangs is killed after 10 s, and counts as a failure.
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(10);
    int status = 0;
    pid_t waited = 0;
    while ((waited = ::waitpid(pid, &status, WNOHANG)) == 0 && Clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    if (waited == 0) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      FAIL() << "child " << child << " hung at exit";
    }
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "child " << child << " ended with status " << status;
  }
  EXPECT_FALSE(fs::exists(dir_ / "child.wav"));
  const std::int32_t stopped = StopRecordingWav();
  // Three hundred forks load the machine: the device may overrun, and
  // then stop says so.
  EXPECT_EQ(stopped, StopStatusFor(ExpectEveryFrameReadInTheFile(4)));
}

}  // namespace
