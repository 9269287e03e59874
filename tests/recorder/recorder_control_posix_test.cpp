// The recording control on the fake device where only POSIX systems can
// set the scene: FIFOs and devices as paths, UTF-8 paths at the length
// limit, fork(), a full disk made with a file-size limit, and a file that
// someone else truncates, replaces or removes (Windows lets nobody else
// write to it, and wine neither renames over an open file nor shows one
// deleted while open as pending deletion).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "address_space.h"
#include "orlesk.h"
#include "recorder_control_fixture.h"

namespace {

using namespace recorder_test;
using namespace test_support;
namespace fs = std::filesystem;

// The file it created is removed again.
TEST_F(RecorderControl, AFileWhoseHeaderCannotBeWrittenIsRefusedAtStartAndRemoved) {
  const fs::path path = dir / "tiny-disk.wav";
  EXPECT_EXIT(
      {
        // Room for 10 bytes: the header does not fit.
        LimitFileSize(10);
        const bool refused = Start(path) == ORLESK_ERROR_FILE && fake.closes == fake.opens &&
                             recorder.Stop() == ORLESK_ERROR_NOT_RECORDING;
        std::_Exit(refused ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_FALSE(fs::exists(path));
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
    // A writer that opened and closed the FIFO would show as a hang-up.
    pollfd poll{reader, POLLIN, 0};
    EXPECT_EQ(::poll(&poll, 1, 0), 0) << "the reader saw a writer come and go";
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

// A host that forks while recording: the child's calls and its exit-time
// stop leave the parent's recording alone. Destroying the recorder in the
// child stands for that stop; had it touched the device, it would wait for
// a capture thread that exists only in the parent.
TEST_F(RecorderControl, AForkedChildNeverTouchesItsParentsRecording) {
  const fs::path path = dir / "parent.wav";
  std::optional<orlesk::Recorder> host;
  host.emplace(fake, orlesk::RecorderSettings{&TestClock::Now});
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
        LimitFileSize(44 + kFits);
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
        LiftFileSizeLimit();
        device().Deliver(1600);
        std::_Exit(recorder.Stop() == ORLESK_ERROR_WRITE ? 0 : 3);
      },
      ::testing::ExitedWithCode(0), "");
  ExpectFinishedWav(path, kFits);
}

// What someone else did to the file while it was being recorded.
enum class Tampering { kTruncatedToZero, kTruncatedToItsHeader, kReplaced, kRemoved };

class RecorderFileTampering : public RecorderControl,
                              public ::testing::WithParamInterface<Tampering> {};

// The recorder notices, writes nothing more to the file (neither audio nor
// sizes: what is there now is not its own) and says so at stop.
TEST_P(RecorderFileTampering, MakesStopReturnThreeAndLeavesTheFileAsItWasLeft) {
  const fs::path path = dir / "tampered.wav";
  ASSERT_EQ(Start(path), ORLESK_SUCCESS);
  ASSERT_TRUE(device().Deliver(1600));
  ASSERT_TRUE(WaitForAudio(path, 1600));
  // The sizes follow the audio: tamper only once the writer has written
  // them, so that no write of its own is still on its way.
  for (int wait = 0; wait < 10000; ++wait) {
    const Bytes now = ReadWholeFile(path);
    if (now.size() >= 44 && Le32At(now, 40) == now.size() - 44) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  const Bytes other(10, 1);
  Bytes expected;
  switch (GetParam()) {
    case Tampering::kTruncatedToZero:
      fs::resize_file(path, 0);
      break;
    case Tampering::kTruncatedToItsHeader:
      fs::resize_file(path, 44);
      expected = ReadWholeFile(path);
      break;
    case Tampering::kReplaced:
      WriteWholeFile(dir / "other.wav", other);
      fs::rename(dir / "other.wav", path);
      expected = other;
      break;
    case Tampering::kRemoved:
      fs::remove(path);
      break;
  }
  ASSERT_TRUE(device().Deliver(1600));
  EXPECT_EQ(recorder.Stop(), ORLESK_ERROR_WRITE);
  if (GetParam() == Tampering::kRemoved) {
    EXPECT_FALSE(fs::exists(path));
  } else {
    EXPECT_EQ(ReadWholeFile(path), expected);
  }
}

std::string TamperingName(const ::testing::TestParamInfo<Tampering>& info) {
  constexpr const char* kNames[] = {"TruncatedToZero", "TruncatedToItsHeader", "Replaced",
                                    "Removed"};
  return kNames[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Kinds, RecorderFileTampering,
                         ::testing::Values(Tampering::kTruncatedToZero,
                                           Tampering::kTruncatedToItsHeader, Tampering::kReplaced,
                                           Tampering::kRemoved),
                         TamperingName);

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

}  // namespace
