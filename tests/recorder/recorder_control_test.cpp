// The recording control on the fake device: statuses, buffer sizes, what
// reaches the file and what does not.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <ostream>
#include <vector>

#include "orlesk.h"
#include "recorder_control_fixture.h"

namespace {

using namespace recorder_test;
using namespace test_support;
namespace fs = std::filesystem;

TEST_F(RecorderControl, SecondStartReturnsMinusOneWhateverItsArgumentsAndTheFirstGoesOn) {
  const fs::path first = dir / "first.wav";
  ASSERT_EQ(Start(first), ORLESK_SUCCESS);
  ASSERT_TRUE(device().Deliver(1600));

  EXPECT_EQ(Start(dir / "second.wav"), ORLESK_ERROR_ALREADY_RECORDING);
  EXPECT_EQ(recorder.Start(nullptr, -5, 12), ORLESK_ERROR_ALREADY_RECORDING);
  EXPECT_EQ(Start(dir / "missing" / "x.wav", 0, 0), ORLESK_ERROR_ALREADY_RECORDING);
  EXPECT_EQ(fake.opens, 1);
  EXPECT_FALSE(fs::exists(dir / "second.wav"));

  ASSERT_TRUE(device().Deliver(1600));
  EXPECT_EQ(recorder.Stop(), ORLESK_SUCCESS);
  ExpectFinishedWav(first, 3200);
}

TEST_F(RecorderControl, StopWithoutARecordingReturnsTwo) {
  EXPECT_EQ(recorder.Stop(), ORLESK_ERROR_NOT_RECORDING);
  ASSERT_EQ(Start(dir / "a.wav"), ORLESK_SUCCESS);
  EXPECT_EQ(recorder.Stop(), ORLESK_SUCCESS);
  EXPECT_EQ(recorder.Stop(), ORLESK_ERROR_NOT_RECORDING);
  EXPECT_EQ(fake.closes, 1);
}

TEST_F(RecorderControl, StartStopStartStopGivesTwoCompleteFilesWithTheirLastFrames) {
  // Stop makes the device report the frames it still held; they were
  // captured before the stop and belong in the file.
  fake.bytesAtStop = 700;
  ASSERT_EQ(Start(dir / "one.wav"), ORLESK_SUCCESS);
  ASSERT_TRUE(device().Deliver(1600));
  ASSERT_TRUE(device().Deliver(1600));
  ASSERT_EQ(recorder.Stop(), ORLESK_SUCCESS);

  ASSERT_EQ(Start(dir / "two.wav", 11025, 8), ORLESK_SUCCESS);
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(device().Deliver(1102));
  }
  ASSERT_EQ(recorder.Stop(), ORLESK_SUCCESS);

  ExpectFinishedWav(dir / "one.wav", 3200 + 700);
  ExpectFinishedWav(dir / "two.wav", 3306 + 700);
  EXPECT_EQ(fake.opens, 2);
  EXPECT_EQ(fake.closes, 2);
}

struct BufferCase {
  std::int32_t rate;
  std::int32_t bits;
  std::uint32_t bufferBytes;
};

class RecorderBufferSize : public RecorderControl,
                           public ::testing::WithParamInterface<BufferCase> {};

TEST_P(RecorderBufferSize, IsATenthOfTheByteRateNotRoundedToFrames) {
  const BufferCase c = GetParam();
  ASSERT_EQ(Start(dir / "b.wav", c.rate, c.bits), ORLESK_SUCCESS);
  EXPECT_EQ(device().queuedLength(), c.bufferBytes);
  EXPECT_EQ(recorder.Stop(), ORLESK_SUCCESS);
}

INSTANTIATE_TEST_SUITE_P(Rates, RecorderBufferSize,
                         ::testing::Values(BufferCase{805, 16, 161}, BufferCase{805, 8, 80},
                                           BufferCase{8000, 16, 1600}, BufferCase{8000, 12, 1200},
                                           BufferCase{44100, 24, 13230},
                                           BufferCase{48000, 32, 19200}));

TEST_F(RecorderControl, TwelveBitsOpensTheDeviceWithWholeBytesButTheHeaderSaysTwelve) {
  ASSERT_EQ(Start(dir / "12.wav", 8000, 12), ORLESK_SUCCESS);
  EXPECT_EQ(fake.lastFormat.channels, 1);
  EXPECT_EQ(fake.lastFormat.blockAlign, 1);
  EXPECT_EQ(fake.lastFormat.averageBytesPerSecond, 8000u);
  EXPECT_EQ(fake.lastFormat.bitsPerSample, 12);
  ASSERT_EQ(recorder.Stop(), ORLESK_SUCCESS);

  const std::vector<std::uint8_t> file = ReadWholeFile(dir / "12.wav");
  ASSERT_EQ(file.size(), 44u);
  EXPECT_EQ(Le32At(file, 28), 12000u);
  EXPECT_EQ(Le16At(file, 32), 1);
  EXPECT_EQ(Le16At(file, 34), 12);
}

TEST_F(RecorderControl, ZeroByteReportsWriteNothingButQueueTheBufferAgain) {
  ASSERT_EQ(Start(dir / "z.wav"), ORLESK_SUCCESS);
  const int queuedAtStart = device().queueCount();
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(device().Deliver(0));
  }
  EXPECT_EQ(device().queueCount(), queuedAtStart + 3);
  ASSERT_TRUE(device().Deliver(500));
  ASSERT_EQ(recorder.Stop(), ORLESK_SUCCESS);
  ExpectFinishedWav(dir / "z.wav", 500);
}

TEST_F(RecorderControl, AnUncreatableFileClosesTheDeviceAndAGoodPathThenWorks) {
  EXPECT_EQ(Start(dir / "missing" / "x.wav"), ORLESK_ERROR_FILE);
  EXPECT_EQ(fake.opens, 1);
  EXPECT_EQ(fake.closes, 1);
  EXPECT_EQ(recorder.Stop(), ORLESK_ERROR_NOT_RECORDING);

  ASSERT_EQ(Start(dir / "good.wav"), ORLESK_SUCCESS);
  ASSERT_TRUE(device().Deliver(1600));
  ASSERT_EQ(recorder.Stop(), ORLESK_SUCCESS);
  ExpectFinishedWav(dir / "good.wav", 1600);
}

TEST_F(RecorderControl, ARefusingDeviceGivesMinusTwoAndNoFile) {
  fake.refuseOpen = true;
  EXPECT_EQ(Start(dir / "r.wav"), ORLESK_ERROR_DEVICE);
  EXPECT_FALSE(fs::exists(dir / "r.wav"));
  EXPECT_EQ(recorder.Stop(), ORLESK_ERROR_NOT_RECORDING);
}

// A start that does not go ahead takes back the file it created, and
// leaves one that was there as it was.
TEST_F(RecorderControl, LessThanOneFramePerBufferGivesMinusFourAndLeavesNoTrace) {
  // 5 Hz at 16 bits: 100 ms is 1 byte, half a frame.
  EXPECT_EQ(Start(dir / "tiny.wav", 5, 16), ORLESK_ERROR_NO_BUFFER);
  EXPECT_FALSE(fs::exists(dir / "tiny.wav"));
  WriteWholeFile(dir / "kept.wav", Bytes(100, 7));
  EXPECT_EQ(Start(dir / "kept.wav", 5, 16), ORLESK_ERROR_NO_BUFFER);
  EXPECT_EQ(ReadWholeFile(dir / "kept.wav"), Bytes(100, 7));
  EXPECT_EQ(fake.closes, fake.opens);
  EXPECT_EQ(recorder.Stop(), ORLESK_ERROR_NOT_RECORDING);
}

// Another recorder (standing for another process's) on the same file,
// under another spelling too: refused before it empties anything.
TEST_F(RecorderControl, ASecondRecorderOfTheSameFileGetsMinusThreeAndTouchesNothing) {
  const fs::path path = dir / "one.wav";
  ASSERT_EQ(Start(path), ORLESK_SUCCESS);
  ASSERT_TRUE(device().Deliver(1600));
  fake::FakeCaptureSystem otherDevice;
  orlesk::Recorder other{otherDevice, {&TestClock::Now}};
  for (const fs::path& spelling : {path, dir / "." / "one.wav"}) {
    EXPECT_EQ(other.Start(Utf16Path(spelling).c_str(), 8000, 16), ORLESK_ERROR_FILE) << spelling;
  }
  EXPECT_EQ(otherDevice.closes, otherDevice.opens);
  ASSERT_TRUE(device().Deliver(1600));
  EXPECT_EQ(recorder.Stop(), ORLESK_SUCCESS);
  ExpectFinishedWav(path, 3200);

  // Once the first has stopped, the file is free.
  ASSERT_EQ(other.Start(Utf16Path(path).c_str(), 8000, 16), ORLESK_SUCCESS);
  EXPECT_EQ(other.Stop(), ORLESK_SUCCESS);
  ExpectFinishedWav(path, 0);
}

TEST_F(RecorderControl, AbsurdArgumentsAreComputedWideAndRefused) {
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  // rate × bits overflows 32 bits: the buffer would be far past 4 GiB.
  EXPECT_EQ(Start(dir / "huge.wav", kMax, kMax), ORLESK_ERROR_NO_BUFFER);
  EXPECT_EQ(Start(dir / "negative.wav", -8000, 16), ORLESK_ERROR_NO_BUFFER);
  EXPECT_EQ(fake.closes, fake.opens);
  EXPECT_EQ(recorder.Stop(), ORLESK_ERROR_NOT_RECORDING);
}

struct LimitCase {
  std::int32_t bits;
  std::uint32_t reportBytes;
  int reports;
  std::uint64_t limit;      // what the header could declare
  std::size_t fileBytes;    // the whole frames of it
  std::int32_t status;
};

void PrintTo(const LimitCase& c, std::ostream* out) {
  *out << c.bits << " bits, limit " << c.limit;
}

class RecorderSizeLimit : public RecorderControl,
                          public ::testing::WithParamInterface<LimitCase> {};

// With a limit small enough to reach: the file ends at it, in whole
// frames, and the audio that did not fit is lost.
TEST_P(RecorderSizeLimit, EndsTheFileAtTheLimitInWholeFramesAndStopSaysAudioWasLost) {
  const LimitCase c = GetParam();
  orlesk::Recorder limited{fake, {&TestClock::Now, c.limit}};
  const fs::path path = dir / "limited.wav";
  ASSERT_EQ(limited.Start(Utf16Path(path).c_str(), 8000, c.bits), ORLESK_SUCCESS);
  for (int report = 0; report < c.reports; ++report) {
    ASSERT_TRUE(device().Deliver(c.reportBytes));
  }
  EXPECT_EQ(limited.Stop(), c.status);
  ExpectFinishedWav(path, c.fileBytes);
}

INSTANTIATE_TEST_SUITE_P(Depths, RecorderSizeLimit,
                         ::testing::Values(LimitCase{16, 1600, 4, 5000, 5000,
                                                     ORLESK_ERROR_AUDIO_LOST},
                                           LimitCase{24, 2400, 4, 5000, 4998,
                                                     ORLESK_ERROR_AUDIO_LOST},
                                           // Up to the limit and no further.
                                           LimitCase{16, 1600, 3, 4800, 4800, ORLESK_SUCCESS}));

TEST_F(RecorderControl, DestroyingTheRecorderFinalisesARunningRecording) {
  {
    orlesk::Recorder leftRunning{fake, {&TestClock::Now}};
    ASSERT_EQ(leftRunning.Start(Utf16Path(dir / "left.wav").c_str(), 8000, 16),
              ORLESK_SUCCESS);
    ASSERT_TRUE(device().Deliver(1600));
  }
  EXPECT_EQ(fake.closes, 1);
  ExpectFinishedWav(dir / "left.wav", 1600);
}

TEST_F(RecorderControl, LostFramesMakeStopReturnFourWithEveryCapturedFrameInTheFile) {
  fake.bytesAtStop = 300;
  ASSERT_EQ(Start(dir / "overrun.wav"), ORLESK_SUCCESS);
  ASSERT_TRUE(device().Deliver(1600));
  ASSERT_TRUE(device().Deliver(1600, /*framesLostBefore=*/true));
  ASSERT_TRUE(device().Deliver(1600));
  EXPECT_EQ(recorder.Stop(), ORLESK_ERROR_AUDIO_LOST);
  ExpectFinishedWav(dir / "overrun.wav", 3 * 1600 + 300);

  // The next recording starts with a clean slate.
  ASSERT_EQ(Start(dir / "clean.wav"), ORLESK_SUCCESS);
  ASSERT_TRUE(device().Deliver(1600));
  EXPECT_EQ(recorder.Stop(), ORLESK_SUCCESS);
}

TEST_F(RecorderControl, AFailedDeviceEndsCaptureAndStopReturnsFourWithItsLastFrames) {
  ASSERT_EQ(Start(dir / "failed.wav"), ORLESK_SUCCESS);
  ASSERT_TRUE(device().Deliver(1600));
  ASSERT_TRUE(device().Fail(500));
  EXPECT_FALSE(device().Deliver(1600)) << "the buffer was queued again after the last report";
  EXPECT_EQ(recorder.Stop(), ORLESK_ERROR_AUDIO_LOST);
  ExpectFinishedWav(dir / "failed.wav", 2100);
}

}  // namespace
