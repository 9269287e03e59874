// Every I/O call of the speed and tempo effects whose failure changes the
// outcome,
// made to fail where it happens: strace injects an error into exactly that
// system call on the source's or the destination's descriptor, in a process
// that runs one call, and the outcome is judged by what the files hold.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "commands.h"
#include "tavrel.h"
#include "test_files.h"

namespace {

namespace fs = std::filesystem;
using namespace test_support;

constexpr std::uint32_t kSourceFrames = 6'000'000;  // 12 MB of 16-bit mono: several 2 MiB writes
constexpr std::uint32_t kDeclaredDataSize = 2 * kSourceFrames;

// Which export the runner calls.
enum class Effect { kSpeed, kTempo };

class IoFaults : public ::testing::TestWithParam<Effect> {
 protected:
  void SetUp() override {
    SKIP_WITHOUT_COMMAND("strace");
    WriteWholeFile(source_, MakeWav({1, 8000, 16, 0}, Ramp16(kSourceFrames)));
  }

  // The call's exit status (0 for success) with `injection` applied to the
  // system calls named `call` on `path`'s descriptor.
  int RunWithFault(const fs::path& path, const std::string& call, const std::string& injection,
                   std::int32_t speed) {
    fs::remove(destination_);
    std::string runner = TAVREL_CALL_RUNNER;
    for (const std::string& argument :
         {Quoted(source_), Quoted(destination_), std::to_string(speed)}) {
      runner += ' ';
      runner += argument;
    }
    if (GetParam() == Effect::kTempo) {
      runner += " tempo";
    }
    const std::string command = WithFaultInjected(runner, call, injection, path);
    return RunCommand(command).exitCode;
  }

  // At each speed that writes its frames its own way (stretching, copying,
  // shrinking), the fault stops the call with an I/O error, and the
  // destination is shorter than the whole output and never finished: its
  // header still has the source's size fields.
  void ExpectEverySpeedStoppedUnfinished(const fs::path& path, const std::string& call,
                                         const std::string& injection) {
    for (const std::int32_t speed : {50, 100, 150}) {
      EXPECT_EQ(RunWithFault(path, call, injection, speed), TAVREL_ERROR_IO) << speed;
      const Bytes written = ReadWholeFile(destination_);
      EXPECT_LT(written.size(), FinishedSize(speed)) << speed;
      EXPECT_EQ(Le32At(written, 40), kDeclaredDataSize) << speed;
    }
  }

  // The size of the whole output at `speed`.
  static std::uint64_t FinishedSize(std::int32_t speed) {
    if (GetParam() == Effect::kTempo) {
      return 44 + 2 * (std::uint64_t{kSourceFrames} * 100 / static_cast<std::uint64_t>(speed));
    }
    const std::uint64_t fullBlocks = kSourceFrames / 1024;
    const std::uint64_t lastBlock = kSourceFrames % 1024;
    const auto step = static_cast<std::uint64_t>(speed);
    return 44 + 2 * (fullBlocks * (1024 * 100 / step) + lastBlock * 100 / step);
  }

  ScratchFolder folder_;
  fs::path source_ = folder_ / "source.wav";
  fs::path destination_ = folder_ / "destination.wav";
};

TEST_P(IoFaults, TheRunnerUnderStraceSucceedsWithoutAFault) {
  // The same command with an injection that never comes due: the
  // failures below are the injected ones.
  EXPECT_EQ(RunWithFault(destination_, "write", "error=ENOSPC:when=65535", 150), 0);
  EXPECT_EQ(fs::file_size(destination_), FinishedSize(150));
}

TEST_P(IoFaults, AWriteOfFramesThatFailsOnceIsAnError) {
  // The third write fails and the fourth would succeed again: the call
  // stops at the failure and says so.
  ExpectEverySpeedStoppedUnfinished(destination_, "write", "error=ENOSPC:when=3");
  // The first write carries the header.
  EXPECT_EQ(RunWithFault(destination_, "write", "error=EIO:when=1", 100), TAVREL_ERROR_IO);
  EXPECT_EQ(fs::file_size(destination_), 0u);
}

TEST_P(IoFaults, AHeaderAloneThatCannotBeWrittenIsAnError) {
  // Frames of no bytes: the header is the call's only write.
  Bytes noFrames = MakeWav({1, 8000, 16, 0}, Ramp16(100));
  noFrames[32] = noFrames[33] = 0;
  WriteWholeFile(source_, noFrames);
  EXPECT_EQ(RunWithFault(destination_, "write", "error=ENOSPC", 150), TAVREL_ERROR_IO);
  EXPECT_EQ(fs::file_size(destination_), 0u);
}

TEST_P(IoFaults, RewritingTheHeaderThatFailsIsAnError) {
  EXPECT_EQ(RunWithFault(destination_, "pwrite64", "error=ENOSPC", 150), TAVREL_ERROR_IO);
  const Bytes written = ReadWholeFile(destination_);
  // Every frame arrived, but the sizes were never set from them.
  EXPECT_EQ(written.size(), FinishedSize(150));
  EXPECT_EQ(Le32At(written, 40), kDeclaredDataSize);
}

TEST_P(IoFaults, AReadErrorAfterTheHeaderIsAnError) {
  // The first read brings the header and the first frames, the second fails.
  ExpectEverySpeedStoppedUnfinished(source_, "read", "error=EIO:when=2");
  // A read error on the header itself is an error too, not a short file.
  EXPECT_EQ(RunWithFault(source_, "read", "error=EIO:when=1", 100), TAVREL_ERROR_IO);
  EXPECT_EQ(fs::file_size(destination_), 0u);
}

TEST_P(IoFaults, ClosingTheDestinationThatFailsIsAnError) {
  // Every byte was handed over, but a file system may report only at close
  // that it could not keep them.
  EXPECT_EQ(RunWithFault(destination_, "close", "error=EIO", 100), TAVREL_ERROR_IO);
  const Bytes written = ReadWholeFile(destination_);
  EXPECT_EQ(written.size(), FinishedSize(100));
  EXPECT_EQ(Le32At(written, 40), kDeclaredDataSize);  // 100: the sizes are the same
}

INSTANTIATE_TEST_SUITE_P(BothEffects, IoFaults, ::testing::Values(Effect::kSpeed, Effect::kTempo),
                         [](const ::testing::TestParamInfo<Effect>& effect) {
                           return effect.param == Effect::kSpeed ? "Speed" : "Tempo";
                         });

}  // namespace
