// Every status of ApplySpeedEffectToWav and the state of both files after it.
// The cases that need POSIX (an address-space limit, /dev/full,
// /proc/self/mem, symbolic links, permissions that bind, mount namespaces)
// run on Linux; tests/windows has Windows' own.
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "tavrel.h"
#include "address_space.h"
#include "test_files.h"

namespace {

namespace fs = std::filesystem;
using namespace test_support;

#if !defined(_WIN32)
// Runs the call with `headroom` bytes of address space beyond what this
// process already maps, and exits with its status. Called in a child
// process, so that the test process keeps its own limit.
[[noreturn]] void ExitWithStatusInLimitedAddressSpace(const fs::path& from, const fs::path& to,
                                                      std::int32_t speed, std::size_t headroom) {
  if (!LimitAddressSpace(headroom)) {
    std::_Exit(100);
  }
  const std::int32_t status =
      ApplySpeedEffectToWav(HostPath(from).c_str(), HostPath(to).c_str(), speed);
  // An exit status has 8 bits: success is 0, any other status itself.
  std::_Exit(status == TAVREL_SUCCESS ? 0 : status);
}
#endif

class SpeedEffectStatus : public ::testing::Test {
 protected:
  void SetUp() override {
    source_ = folder_ / "source.wav";
    destination_ = folder_ / "destination.wav";
    sourceBytes_ = MakeWav({1, 8000, 16, 0}, Ramp16(3000));
    WriteWholeFile(source_, sourceBytes_);
  }

  std::int32_t Apply(const fs::path& from, const fs::path& to, std::int32_t speed) {
    return ApplySpeedEffectToWav(HostPath(from).c_str(), HostPath(to).c_str(), speed);
  }

  void ExpectSourceUnchanged() { EXPECT_EQ(ReadWholeFile(source_), sourceBytes_); }

  ScratchFolder folder_;
  fs::path source_;
  fs::path destination_;
  Bytes sourceBytes_;
};

TEST_F(SpeedEffectStatus, SpeedBelowOneTouchesNoFile) {
  for (const std::int32_t speed : {0, -5, INT32_MIN}) {
    EXPECT_EQ(Apply(source_, destination_, speed), TAVREL_ERROR_SPEED) << speed;
    EXPECT_FALSE(fs::exists(destination_));
  }
  // Even with paths that could not be used.
  EXPECT_EQ(ApplySpeedEffectToWav(nullptr, nullptr, 0), TAVREL_ERROR_SPEED);
}

TEST_F(SpeedEffectStatus, SourceThatCannotBeOpenedLeavesTheDestinationAlone) {
  const HostChar unpaired[] = {u'x', 0xD800, u'.', u'w', 0};
  // A destination that exists already must keep its bytes.
  WriteWholeFile(destination_, Bytes{1, 2, 3});
  EXPECT_EQ(Apply(folder_ / "missing.wav", destination_, 100), TAVREL_ERROR_SOURCE);
  EXPECT_EQ(Apply(folder_.path(), destination_, 100), TAVREL_ERROR_SOURCE);  // a directory
  EXPECT_EQ(ApplySpeedEffectToWav(nullptr, HostPath(destination_).c_str(), 100),
            TAVREL_ERROR_SOURCE);
  EXPECT_EQ(ApplySpeedEffectToWav(unpaired, HostPath(destination_).c_str(), 100),
            TAVREL_ERROR_SOURCE);
  EXPECT_EQ(ReadWholeFile(destination_), (Bytes{1, 2, 3}));

  fs::remove(destination_);
  EXPECT_EQ(Apply(folder_ / "missing.wav", destination_, 50), TAVREL_ERROR_SOURCE);
  EXPECT_FALSE(fs::exists(destination_));
}

#if !defined(_WIN32)
TEST_F(SpeedEffectStatus, UnreadableSourceIsRefused) {
  if (::geteuid() == 0) {
    GTEST_SKIP() << "root reads any file";
  }
  fs::permissions(source_, fs::perms::none);
  EXPECT_EQ(Apply(source_, destination_, 100), TAVREL_ERROR_SOURCE);
  EXPECT_FALSE(fs::exists(destination_));
}
#endif

TEST_F(SpeedEffectStatus, DestinationThatCannotBeCreatedIsRefused) {
  const HostChar unpaired[] = {0xDC00, u'.', u'w', 0};
  EXPECT_EQ(Apply(source_, folder_ / "no-such-folder" / "out.wav", 100), TAVREL_ERROR_DESTINATION);
  EXPECT_EQ(Apply(source_, folder_.path(), 100), TAVREL_ERROR_DESTINATION);  // a directory
  EXPECT_EQ(ApplySpeedEffectToWav(HostPath(source_).c_str(), nullptr, 100),
            TAVREL_ERROR_DESTINATION);
  EXPECT_EQ(ApplySpeedEffectToWav(HostPath(source_).c_str(), unpaired, 100),
            TAVREL_ERROR_DESTINATION);
  ExpectSourceUnchanged();
}

TEST_F(SpeedEffectStatus, DestinationThatIsTheSourceIsRefusedBeforeTruncating) {
  fs::create_hard_link(source_, folder_ / "hard.wav");
  std::vector<fs::path> spellings{source_, folder_ / "hard.wav", folder_ / "." / "source.wav"};
#if !defined(_WIN32)
  fs::create_symlink(source_, folder_ / "soft.wav");
  spellings.push_back(folder_ / "soft.wav");
#endif
  for (const fs::path& same : spellings) {
    for (const std::int32_t speed : {50, 100, 200}) {
      EXPECT_EQ(Apply(source_, same, speed), TAVREL_ERROR_DESTINATION) << same;
      ExpectSourceUnchanged();
    }
  }
}

#if !defined(_WIN32)
// Exit statuses of the child below besides the call's own.
constexpr int kNoMountNamespace = 77;
constexpr int kWrongOutput = 78;

// In a mount namespace of its own, so that it may mount file systems
// without touching the machine's: one fresh tmpfs for the source and one for
// the destination. Each file is the first of its file system, so on Linux
// 5.9 and later both get the same inode number on different devices.
[[noreturn]] void ExitAfterConvertingAcrossTwoFreshFileSystems(const fs::path& first,
                                                              const fs::path& second,
                                                              const Bytes& sourceBytes) {
  const uid_t user = ::getuid();
  const gid_t group = ::getgid();
  if (::unshare(CLONE_NEWNS) != 0) {
    // Without privilege: a user namespace first, in which this user is root.
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) {
      std::_Exit(kNoMountNamespace);
    }
    std::ofstream("/proc/self/setgroups") << "deny";
    std::ofstream("/proc/self/uid_map") << "0 " << user << " 1";
    std::ofstream("/proc/self/gid_map") << "0 " << group << " 1";
  }
  if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
      ::mount("tavrel-first", first.c_str(), "tmpfs", 0, "size=1m") != 0 ||
      ::mount("tavrel-second", second.c_str(), "tmpfs", 0, "size=1m") != 0) {
    std::_Exit(kNoMountNamespace);
  }
  const fs::path source = first / "source.wav";
  const fs::path destination = second / "destination.wav";
  WriteWholeFile(source, sourceBytes);
  WriteWholeFile(destination, Bytes{1, 2, 3});
  struct stat sourceStatus {};
  struct stat destinationStatus {};
  if (::stat(source.c_str(), &sourceStatus) != 0 || ::stat(destination.c_str(), &destinationStatus) != 0 ||
      sourceStatus.st_ino != destinationStatus.st_ino || sourceStatus.st_dev == destinationStatus.st_dev) {
    std::_Exit(kNoMountNamespace);
  }
  const std::int32_t status =
      ApplySpeedEffectToWav(HostPath(source).c_str(), HostPath(destination).c_str(), 100);
  if (status != TAVREL_SUCCESS) {
    std::_Exit(status);
  }
  std::_Exit(ReadWholeFile(destination) == sourceBytes ? 0 : kWrongOutput);
}

TEST_F(SpeedEffectStatus, DestinationOnAnotherFileSystemWithTheSameInodeNumberIsNotTheSource) {
  const fs::path first = folder_ / "first";
  const fs::path second = folder_ / "second";
  fs::create_directory(first);
  fs::create_directory(second);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ExitAfterConvertingAcrossTwoFreshFileSystems(first, second, sourceBytes_);
  }
  int waitStatus = 0;
  ASSERT_EQ(::waitpid(child, &waitStatus, 0), child);
  ASSERT_TRUE(WIFEXITED(waitStatus));
  if (WEXITSTATUS(waitStatus) == kNoMountNamespace) {
    GTEST_SKIP() << "cannot mount two fresh file systems whose first files share an inode number";
  }
  // A whole copy, not TAVREL_ERROR_DESTINATION.
  EXPECT_EQ(WEXITSTATUS(waitStatus), 0);
}
#endif

TEST_F(SpeedEffectStatus, SourceShorterThanAHeaderLeavesAnEmptyDestination) {
  for (const std::size_t length : {0u, 1u, 43u}) {
    WriteWholeFile(source_, Bytes(sourceBytes_.begin(), sourceBytes_.begin() + static_cast<long>(length)));
    WriteWholeFile(destination_, Bytes{9, 9, 9});
    EXPECT_EQ(Apply(source_, destination_, 150), TAVREL_ERROR_SHORT_HEADER) << length;
    EXPECT_TRUE(fs::exists(destination_));
    EXPECT_EQ(fs::file_size(destination_), 0u);
  }
}

TEST_F(SpeedEffectStatus, HeaderThatCannotBeStretchedLeavesAnEmptyDestination) {
  // Two 16-bit channels cannot fit in two-byte frames, nor one in frames of
  // no bytes: that refusal comes before the header alone that frames of no
  // bytes give otherwise.
  const Bytes frames = Ramp16(200);
  Bytes noBytes = MakeWav({1, 8000, 16, 0}, frames);
  noBytes[32] = noBytes[33] = 0;
  for (const Bytes& source : {MakeWav({2, 8000, 16, 2}, frames), noBytes}) {
    WriteWholeFile(source_, source);
    for (const std::int32_t speed : {1, 50, 99}) {
      WriteWholeFile(destination_, Bytes{9});
      EXPECT_EQ(Apply(source_, destination_, speed), TAVREL_ERROR_UNSUPPORTED)
          << Le16At(source, 32) << " at " << speed;
      EXPECT_EQ(fs::file_size(destination_), 0u);
    }
  }
  EXPECT_EQ(Apply(source_, destination_, 100), TAVREL_SUCCESS);
  EXPECT_EQ(fs::file_size(destination_), 44u);
  // From 100 on, whole frames are moved and need no such room: at 100 they
  // are copied, at 200 every other one is.
  WriteWholeFile(source_, MakeWav({2, 8000, 16, 2}, frames));
  EXPECT_EQ(Apply(source_, destination_, 100), TAVREL_SUCCESS);
  const Bytes copied = ReadWholeFile(destination_);
  EXPECT_EQ(Bytes(copied.begin() + 44, copied.end()), frames);
  EXPECT_EQ(Apply(source_, destination_, 200), TAVREL_SUCCESS);
  const Bytes halved = ReadWholeFile(destination_);
  ASSERT_EQ(halved.size(), 44u + 200u);
  EXPECT_EQ(Le16At(halved, 44 + 2), Le16At(frames, 4));  // output frame 1 is input frame 2
}

TEST_F(SpeedEffectStatus, RatesAreScaledAsUnsigned32BitFieldsAndRefusedOnlyWhenTheyCannotBe) {
  // Byte rate = rate × channels × bits / 8. Scaled values must fit 32 bits
  // unsigned, and a sample rate of 0 Hz is no header a reader takes.
  const struct {
    WavFormat format;
    std::int32_t speed;
    std::uint32_t sampleRate;  // 0: refused
    std::uint32_t byteRate;
  } cases[] = {
      {{8, 192000, 32, 0}, 350, 672000, 21504000},      // the product passes 2^31
      {{2, 48000, 24, 0}, 7457, 3579360, 21476160},     // likewise
      {{1, 30000000, 16, 0}, 100, 30000000, 60000000},  // and at 100
      {{1, 0xFFFFFFFF, 8, 0}, 100, 0xFFFFFFFF, 0xFFFFFFFF},  // past 2^31, not negative
      {{1, 0x80000000, 8, 0}, 1, 21474836, 21474836},
      {{1, 2147483647, 8, 0}, 200, 4294967294, 4294967294},  // the largest that fits at 200
      {{1, 2147483648, 8, 0}, 200, 0, 0},
      {{2, 2147483647, 8, 0}, 101, 0, 0},  // the byte rate alone does not fit
      {{1, 8000, 16, 0}, INT32_MAX, 0, 0},
      {{1, 100, 16, 0}, 1, 1, 2},
      {{1, 7, 16, 0}, 1, 0, 0},  // 0.07 Hz truncates to 0
      {{1, 0, 16, 0}, 100, 0, 0},
  };
  for (const auto& c : cases) {
    WriteWholeFile(source_, MakeWav(c.format, Ramp16(10)));
    WriteWholeFile(destination_, Bytes{9});
    const std::int32_t status = Apply(source_, destination_, c.speed);
    const Bytes written = ReadWholeFile(destination_);
    if (c.sampleRate == 0) {
      EXPECT_EQ(status, TAVREL_ERROR_UNSUPPORTED) << c.format.sampleRate << " at " << c.speed;
      EXPECT_TRUE(written.empty());
      continue;
    }
    EXPECT_EQ(status, TAVREL_SUCCESS) << c.format.sampleRate << " at " << c.speed;
    ASSERT_GE(written.size(), 44u);
    EXPECT_EQ(Le32At(written, 24), c.sampleRate) << c.format.sampleRate << " at " << c.speed;
    EXPECT_EQ(Le32At(written, 28), c.byteRate) << c.format.sampleRate << " at " << c.speed;
  }
  // A byte rate of 0 (as a hand-made header may hold) is no refusal.
  Bytes noByteRate = MakeWav({1, 8000, 16, 0}, Ramp16(10));
  std::fill(noByteRate.begin() + 28, noByteRate.begin() + 32, 0);
  WriteWholeFile(source_, noByteRate);
  EXPECT_EQ(Apply(source_, destination_, 150), TAVREL_SUCCESS);
}

#if !defined(_WIN32)
constexpr std::size_t kMebibyte = std::size_t{1} << 20;

TEST_F(SpeedEffectStatus, WidestFramesAtEverySpeedFitInALimitedAddressSpace) {
  if (!kAddressSpaceCanBeLimited) {
    GTEST_SKIP() << "sanitizers reserve more address space than the limit allows";
  }
  // One 65535-byte frame of 8-bit mono whose one sample is 3, at a rate low
  // enough for the byte rate to scale; the rest of the 70000 bytes is not a
  // whole frame. Two input blocks of such frames
  // are 128 MiB; at speed 1 the block's output alone is 100 frames, and the
  // output area for a whole block would be 6.7 GB.
  constexpr std::size_t kTwoBlocksAndAFewMebibytes = 2 * 1024 * 65535 + 8 * kMebibyte;
  Bytes data(70000, 0);
  data[0] = 3;
  WriteWholeFile(source_, MakeWav({1, 100, 8, 65535}, data));
  for (const std::int32_t speed : {1, 50, 100, 200}) {
    EXPECT_EXIT(ExitWithStatusInLimitedAddressSpace(source_, destination_, speed,
                                                    kTwoBlocksAndAFewMebibytes),
                ::testing::ExitedWithCode(0), "")
        << speed;
    const Bytes written = ReadWholeFile(destination_);
    const std::size_t frames = speed < 100 ? 100u / static_cast<std::size_t>(speed) : speed == 100 ? 1u : 0u;
    ASSERT_EQ(written.size(), 44u + frames * 65535u) << speed;
    EXPECT_EQ(Le32At(written, 24), static_cast<std::uint32_t>(speed));
    EXPECT_EQ(Le32At(written, 40), frames * 65535u);
    EXPECT_EQ(Le32At(written, 4), frames * 65535u + 36u);
    // Each frame is the one sample interpolated with itself, then zeros.
    for (std::size_t frame = 0; frame < frames; ++frame) {
      const auto first = written.begin() + static_cast<long>(44 + frame * 65535);
      ASSERT_EQ(*first, 3) << speed << " frame " << frame;
      ASSERT_EQ(std::count(first + 1, first + 65535, 0), 65534) << speed << " frame " << frame;
    }
  }
}

TEST_F(SpeedEffectStatus, WorkBufferBeyondALimitedAddressSpaceLeavesTheHeaderOnly) {
  if (!kAddressSpaceCanBeLimited) {
    GTEST_SKIP() << "sanitizers reserve more address space than the limit allows";
  }
  // A block of 65535-byte frames is 64 MiB, which 16 MiB of room cannot
  // hold. The source holds a whole block (a sparse file: no disk is used).
  WriteWholeFile(source_, MakeWav({1, 100, 8, 65535}, Bytes(70000, 3), 123456));
  fs::resize_file(source_, 44 + 1024 * 65535);
  EXPECT_EXIT(ExitWithStatusInLimitedAddressSpace(source_, destination_, 50, 16 * kMebibyte),
              ::testing::ExitedWithCode(TAVREL_ERROR_NO_MEMORY), "");
  const Bytes written = ReadWholeFile(destination_);
  ASSERT_EQ(written.size(), 44u);
  EXPECT_EQ(Le32At(written, 24), 50u);         // the rate, halved
  EXPECT_EQ(Le32At(written, 40), 123456u);     // the source's own size fields
  EXPECT_EQ(Le32At(written, 4), 123456u + 36);
}

TEST_F(SpeedEffectStatus, FullDiskIsAnErrorNotSuccess) {
  // A small file fails when the header is rewritten, a large one while the
  // frames are written.
  EXPECT_EQ(Apply(source_, "/dev/full", 100), TAVREL_ERROR_IO);
  WriteWholeFile(source_, MakeWav({1, 8000, 16, 0}, Ramp16(2'000'000)));
  for (const std::int32_t speed : {50, 100, 150}) {
    EXPECT_EQ(Apply(source_, "/dev/full", speed), TAVREL_ERROR_IO) << speed;
  }
}

TEST_F(SpeedEffectStatus, ReadErrorOnTheSourceIsAnError) {
  // Reading this process's memory file from offset 0 fails with EIO.
  EXPECT_EQ(Apply("/proc/self/mem", destination_, 100), TAVREL_ERROR_IO);
}

#endif

}  // namespace
