// The recording control on the fake device: statuses, buffer sizes, what
// reaches the file and what does not.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "fake_capture.h"
#include "orlesk.h"
#include "recorder.h"
#include "recorder_test_support.h"

namespace {

using namespace recorder_test;
using namespace test_support;
namespace fs = std::filesystem;

std::vector<std::uint8_t> Pattern(std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) {
    bytes[i] = fake::PatternByte(i);
  }
  return bytes;
}

// A finished recording: sizes that match the file, and the device's audio.
void ExpectFinishedWav(const fs::path& path, std::size_t audioBytes) {
  const std::vector<std::uint8_t> file = ReadWholeFile(path);
  ASSERT_EQ(file.size(), 44 + audioBytes) << path;
  EXPECT_EQ(Le32At(file, 40), audioBytes);
  EXPECT_EQ(Le32At(file, 4), audioBytes + 36);
  EXPECT_EQ(AudioOf(file), Pattern(audioBytes));
}

class RecorderControl : public ::testing::Test {
 protected:
  std::int32_t Start(const fs::path& path, std::int32_t rate = 8000, std::int32_t bits = 16) {
    return recorder.Start(Utf16Path(path).c_str(), rate, bits);
  }
  fake::FakeCaptureDevice& device() { return *fake.device; }

  ScratchFolder dir;
  fake::FakeCaptureSystem fake;
  orlesk::Recorder recorder{fake};
};

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

TEST_F(RecorderControl, AFileWhoseHeaderCannotBeWrittenIsRefusedAtStart) {
  const fs::path path = dir / "tiny-disk.wav";
  EXPECT_EXIT(
      {
        ::signal(SIGXFSZ, SIG_IGN);
        // Room for 10 bytes: the header does not fit.
        rlimit limit{};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = 10;
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const bool refused = Start(path) == ORLESK_ERROR_FILE && fake.closes == fake.opens &&
                             recorder.Stop() == ORLESK_ERROR_NOT_RECORDING;
        std::_Exit(refused ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

// A recording must be a regular file: its sizes are patched in place. Any
// other kind is refused at once, without waiting for a FIFO's reader and
// without writing to a device.
TEST_F(RecorderControl, PathsThatAreNotRegularFilesAreRefusedAtOnce) {
  const fs::path fifo = dir / "fifo.wav";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(Start(fifo), ORLESK_ERROR_FILE) << "a FIFO nobody reads";
  {
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    EXPECT_EQ(Start(fifo), ORLESK_ERROR_FILE) << "a FIFO with a reader";
    char byte = 0;
    EXPECT_LE(::read(reader, &byte, 1), 0) << "something was written into the FIFO";
    ::close(reader);
  }
  EXPECT_EQ(Start("/dev/null"), ORLESK_ERROR_FILE);
  EXPECT_EQ(Start("/dev/full"), ORLESK_ERROR_FILE);
  EXPECT_EQ(Start(dir.path()), ORLESK_ERROR_FILE);
  EXPECT_EQ(fake.closes, fake.opens);
  EXPECT_EQ(recorder.Stop(), ORLESK_ERROR_NOT_RECORDING);

  ASSERT_EQ(Start(dir / "regular.wav"), ORLESK_SUCCESS);
  EXPECT_EQ(recorder.Stop(), ORLESK_SUCCESS);
}

TEST_F(RecorderControl, PathsWithoutAUsableNameAreRefusedBeforeTheDeviceOpens) {
  EXPECT_EQ(recorder.Start(nullptr, 8000, 16), ORLESK_ERROR_FILE);
  const char16_t unpaired[] = {u'a', 0xD800, u'b', 0};
  EXPECT_EQ(recorder.Start(unpaired, 8000, 16), ORLESK_ERROR_FILE);

  // The path buffer holds 252 bytes with the terminator: 251 UTF-8 bytes
  // fit, 252 do not. 'é' is one UTF-16 unit but two UTF-8 bytes.
  const std::string directory = dir.path().string() + "/";
  ASSERT_LT(directory.size(), 200u);
  const std::string fits = directory + std::string(251 - directory.size() - 2, 'a') + "é";
  const std::string tooLong = directory + std::string(252 - directory.size() - 2, 'a') + "é";
  ASSERT_EQ(fits.size(), 251u);
  EXPECT_EQ(Start(tooLong), ORLESK_ERROR_FILE);
  EXPECT_EQ(fake.opens, 0);
  EXPECT_FALSE(fs::exists(tooLong));

  ASSERT_EQ(Start(fits), ORLESK_SUCCESS);
  EXPECT_EQ(recorder.Stop(), ORLESK_SUCCESS);
  ExpectFinishedWav(fits, 0);
}

TEST_F(RecorderControl, ARefusingDeviceGivesMinusTwoAndNoFile) {
  fake.refuseOpen = true;
  EXPECT_EQ(Start(dir / "r.wav"), ORLESK_ERROR_DEVICE);
  EXPECT_FALSE(fs::exists(dir / "r.wav"));
  EXPECT_EQ(recorder.Stop(), ORLESK_ERROR_NOT_RECORDING);
}

TEST_F(RecorderControl, LessThanOneFramePerBufferGivesMinusFourAndAnEmptyWav) {
  // 5 Hz at 16 bits: 100 ms is 1 byte, half a frame.
  EXPECT_EQ(Start(dir / "tiny.wav", 5, 16), ORLESK_ERROR_NO_BUFFER);
  EXPECT_EQ(fake.closes, fake.opens);
  EXPECT_EQ(recorder.Stop(), ORLESK_ERROR_NOT_RECORDING);
  ExpectFinishedWav(dir / "tiny.wav", 0);
}

TEST_F(RecorderControl, AbsurdArgumentsAreComputedWideAndRefused) {
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  // rate × bits overflows 32 bits: the buffer would be far past 4 GiB.
  EXPECT_EQ(Start(dir / "huge.wav", kMax, kMax), ORLESK_ERROR_NO_BUFFER);
  EXPECT_EQ(Start(dir / "negative.wav", -8000, 16), ORLESK_ERROR_NO_BUFFER);
  EXPECT_EQ(fake.closes, fake.opens);
  EXPECT_EQ(recorder.Stop(), ORLESK_ERROR_NOT_RECORDING);
}

TEST_F(RecorderControl, DestroyingTheRecorderFinalisesARunningRecording) {
  {
    orlesk::Recorder leftRunning{fake};
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

// A host that forks while recording: the child's calls and its exit-time
// stop leave the parent's recording alone. Destroying the recorder in the
// child stands for that stop; had it touched the device, it would wait for
// a capture thread that exists only in the parent.
TEST_F(RecorderControl, AForkedChildNeverTouchesItsParentsRecording) {
  const fs::path path = dir / "parent.wav";
  std::optional<orlesk::Recorder> host;
  host.emplace(fake);
  ASSERT_EQ(host->Start(Utf16Path(path).c_str(), 8000, 16), ORLESK_SUCCESS);
  ASSERT_TRUE(device().Deliver(1600));
  EXPECT_EXIT(
      {
        const bool leftAlone =
            host->Stop() == ORLESK_ERROR_NOT_RECORDING &&
            host->Start(Utf16Path(dir / "child.wav").c_str(), 8000, 16) ==
                ORLESK_ERROR_ALREADY_RECORDING;
        host.reset();
        std::_Exit(leftAlone ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
  ASSERT_TRUE(device().Deliver(1600));
  EXPECT_EQ(host->Stop(), ORLESK_SUCCESS);
  ExpectFinishedWav(path, 3200);
  EXPECT_FALSE(fs::exists(dir / "child.wav"));
}

// A full disk, made with a file-size limit: writes past it fail with EFBIG
// after writing what fits.
TEST_F(RecorderControl, AFailedWriteStopsAppendingAndStopReturnsThree) {
  const fs::path path = dir / "full.wav";
  constexpr std::size_t kFits = 3 * 1600 + 700;
  EXPECT_EXIT(
      {
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        const rlimit original = limit;
        limit.rlim_cur = 44 + kFits;
        ::setrlimit(RLIMIT_FSIZE, &limit);
        if (Start(path) != ORLESK_SUCCESS) {
          std::_Exit(2);
        }
        for (int i = 0; i < 4; ++i) {
          device().Deliver(1600);
        }
        // The write that fills the disk is retried at once for the rest,
        // which fails; long after that, space comes back. The file must
        // stay a clean prefix all the same.
        if (!WaitForAudio(path, kFits)) {
          std::_Exit(4);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        ::setrlimit(RLIMIT_FSIZE, &original);
        device().Deliver(1600);
        std::_Exit(recorder.Stop() == ORLESK_ERROR_WRITE ? 0 : 3);
      },
      ::testing::ExitedWithCode(0), "");
  ExpectFinishedWav(path, kFits);
}

}  // namespace
