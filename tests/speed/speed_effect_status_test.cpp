// Every status of ApplySpeedEffectToWav and the state of both files after it.
// The cases that need POSIX (an address-space limit, /dev/full,
// /proc/self/mem, symbolic links, permissions that bind) run on Linux;
// tests/windows has Windows' own.
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <sys/resource.h>
#include <unistd.h>
#endif

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "tavrel.h"
#include "test_files.h"

namespace {

namespace fs = std::filesystem;
using namespace test_support;

#if !defined(_WIN32)
// Runs the call with at most 1 GiB of address space and exits with its
// status.
[[noreturn]] void ExitWithStatusInSmallAddressSpace(const fs::path& from, const fs::path& to,
                                                    std::int32_t speed) {
  const rlim_t oneGibibyte = rlim_t{1} << 30;
  const rlimit limit{oneGibibyte, oneGibibyte};
  ::setrlimit(RLIMIT_AS, &limit);
  std::_Exit(ApplySpeedEffectToWav(HostPath(from).c_str(), HostPath(to).c_str(), speed));
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
  // Two 16-bit channels cannot fit in two-byte frames.
  WriteWholeFile(source_, MakeWav({2, 8000, 16, 2}, Bytes(400, 1)));
  EXPECT_EQ(Apply(source_, destination_, 50), TAVREL_ERROR_UNSUPPORTED);
  EXPECT_EQ(fs::file_size(destination_), 0u);
  // Faster speeds move whole frames and need no such room.
  EXPECT_EQ(Apply(source_, destination_, 200), TAVREL_SUCCESS);
  EXPECT_EQ(fs::file_size(destination_), 44u + 200u);
}

TEST_F(SpeedEffectStatus, RateThatWouldOverflowWhenScaledIsRefused) {
  Bytes header = MakeWav({1, 30000000, 16, 0}, Bytes(10, 0));
  WriteWholeFile(source_, header);
  EXPECT_EQ(Apply(source_, destination_, 100), TAVREL_ERROR_UNSUPPORTED);  // byte rate × 100
  EXPECT_EQ(fs::file_size(destination_), 0u);
  EXPECT_EQ(Apply(source_, destination_, 50), TAVREL_ERROR_UNSUPPORTED);
  EXPECT_EQ(Apply(source_, destination_, INT32_MAX), TAVREL_ERROR_UNSUPPORTED);

  // 21474836 × 100 still fits, 21474837 × 100 does not.
  WriteWholeFile(source_, MakeWav({1, 21474836, 8, 0}, Bytes(10, 0)));
  EXPECT_EQ(Apply(source_, destination_, 100), TAVREL_SUCCESS);
  WriteWholeFile(source_, MakeWav({1, 21474837, 8, 0}, Bytes(10, 0)));
  EXPECT_EQ(Apply(source_, destination_, 100), TAVREL_ERROR_UNSUPPORTED);
}

#if !defined(_WIN32)
TEST_F(SpeedEffectStatus, WorkBufferThatCannotBeAllocatedLeavesTheHeaderOnly) {
  // At speed 1 the output area of 65535-byte frames is 65535 × 102402
  // bytes, which a 1 GiB address space cannot hold. The limit is set in a
  // child process so that this process keeps its own.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "sanitizers reserve more address space than the limit allows";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
  GTEST_SKIP() << "sanitizers reserve more address space than the limit allows";
#endif
#endif
  WriteWholeFile(source_, MakeWav({1, 8000, 8, 65535}, Bytes(70000, 3), 123456));
  EXPECT_EXIT(ExitWithStatusInSmallAddressSpace(source_, destination_, 1),
              ::testing::ExitedWithCode(TAVREL_ERROR_NO_MEMORY), "");
  const Bytes written = ReadWholeFile(destination_);
  ASSERT_EQ(written.size(), 44u);
  EXPECT_EQ(Le32At(written, 24), 80u);         // the rate, scaled to 1 %
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
