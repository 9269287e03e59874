// The orlesk command recording from the paced capture device: a timed
// recording holds exactly its length, a disk that stalls for seconds costs
// no audio, lost audio is reported, and signals (SIGHUP included) or
// SIGKILL leave a file that reads as what was recorded. Write stalls are
// injected into the command with strace.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "paced_microphone.h"

extern char** environ;

namespace {

using namespace recorder_test;
using namespace test_support;
namespace fs = std::filesystem;

std::string Command(const fs::path& path, const std::string& arguments) {
  return std::string(ORLESK_COMMAND) + " " + Quoted(path) + " " + arguments;
}

// The command with the `stall`-th write to the file (a pwrite; the header
// is the first) held up for `stallMicroseconds`.
std::string WithWriteStall(const std::string& command, int stall, long stallMicroseconds) {
  return WithFaultInjected(command, "pwrite64",
                       "delay_enter=" + std::to_string(stallMicroseconds) +
                           ":when=" + std::to_string(stall));
}

// The command started in the background, its stderr kept in a file.
class Background {
 public:
  Background(const fs::path& path, const fs::path& errors, std::vector<std::string> options = {}) {
    std::string program = ORLESK_COMMAND;
    std::string target = path.string();
    std::vector<char*> arguments{program.data(), target.data()};
    for (std::string& option : options) {
      arguments.push_back(option.data());
    }
    arguments.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errors.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    spawned_ = ::posix_spawn(&pid_, program.c_str(), &actions, nullptr, arguments.data(),
                             environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Background() {
    if (spawned_ && !waited_) {
      ::kill(pid_, SIGKILL);
      Wait();
    }
  }
  Background(const Background&) = delete;
  Background& operator=(const Background&) = delete;

  bool spawned() const { return spawned_; }
  void Signal(int signal) const { ::kill(pid_, signal); }
  // The wait status.
  int Wait() {
    int status = 0;
    ::waitpid(pid_, &status, 0);
    waited_ = true;
    return status;
  }

 private:
  pid_t pid_ = 0;
  bool spawned_ = false;
  bool waited_ = false;
};

std::string TextOf(const fs::path& path) {
  const Bytes bytes = ReadWholeFile(path);
  return {bytes.begin(), bytes.end()};
}

// Each file call whose failure changes the outcome, made to fail alone.
TEST(OrleskPacedCommand, EachFailingFileCallIsReported) {
  SKIP_WITHOUT_COMMAND("strace");
  struct Case {
    const char* what;
    double speed;
    std::string arguments;
    std::string call;
    std::string injection;
    std::string message;
  };
  const Case cases[] = {
      // Start empties the file that was there (the first ftruncate) and
      // writes the header (the first pwrite): either failing refuses the
      // file.
      {"truncate at start", 20, "--seconds 1", "ftruncate", "error=EIO:when=1",
       "the file cannot be created"},
      {"header", 20, "--seconds 1", "pwrite64", "error=ENOSPC:when=1",
       "the file cannot be created"},
      // Ten frames a second at a thousandth of real time: no audio, so the
      // writes after the header are the sizes at stop.
      {"sizes at stop", 0.001, "--rate 10 --seconds 0.5", "pwrite64", "error=EIO:when=2+",
       "writing the file failed"},
      // The command cuts what the stop added past the length asked for.
      {"cut to length", 20, "--seconds 1", "ftruncate", "error=EIO:when=2",
       "cannot cut the recording"},
  };
  for (const Case& c : cases) {
    PacedMicrophone microphone(AtSpeed(c.speed));
    ScratchFolder dir;
    // A file to replace, so that start has something to empty.
    WriteWholeFile(dir / "x.wav", Bytes(100, 7));
    const CommandResult result = RunCommand(
        WithFaultInjected(Command(dir / "x.wav", c.arguments + " 2>&1"), c.call, c.injection));
    EXPECT_EQ(result.exitCode, 1) << c.what << ": " << result.output;
    EXPECT_NE(result.output.find(c.message), std::string::npos) << c.what << ": " << result.output;
  }
}

// The command recording in the background until a signal ends it.
class OrleskInBackground : public ::testing::Test {
 protected:
  // Starts the command and waits until the file holds `bytes` of audio.
  bool StartAndWaitFor(std::size_t bytes, std::vector<std::string> options = {}) {
    command_.emplace(path_, dir_ / "errors.txt", std::move(options));
    return command_->spawned() && WaitForAudio(path_, bytes);
  }
  // Sends `signal` and returns the command's exit code (-1 when it did not
  // exit).
  int EndWith(int signal) {
    command_->Signal(signal);
    return End();
  }
  // Waits for the command to end on its own; its exit code.
  int End() {
    const int status = command_->Wait();
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string errors() const { return TextOf(dir_ / "errors.txt"); }

  ScratchFolder dir_;
  const fs::path path_ = dir_ / "recording.wav";
  std::optional<Background> command_;
};

// At twenty times real time, and at the rate asked for: a leading zero is
// decimal. The device's ring lasts 25 ms at that speed, so a busy machine
// may make it overrun: the recording then still has its length, says that
// audio was lost, and lacks no more than the overruns lost.
TEST(OrleskPacedCommand, ATimedRecordingHoldsExactlyItsLengthFromAFastDevice) {
  PacedMicrophone microphone(AtSpeed(20));
  ScratchFolder dir;
  const fs::path path = dir / "timed.wav";
  const CommandResult result = RunCommand(Command(path, "--rate 044100 --seconds 2 2>&1"));
  const Bytes audio = ExpectFinishedRecording(path, 2);
  EXPECT_EQ(audio.size() / 2, 88200u);
  EXPECT_EQ(Le32At(ReadWholeFile(path), 24), 44100u);
  const auto report = microphone.report();
  ASSERT_TRUE(report);
  if (report->overruns == 0) {
    EXPECT_EQ(result.exitCode, 0) << result.output;
    ExpectConsecutiveCounters(audio, 2);
  } else {
    EXPECT_EQ(result.exitCode, 1) << result.output;
    EXPECT_NE(result.output.find("audio was lost"), std::string::npos) << result.output;
    EXPECT_LE(ExpectGrowingCounters(audio, 2), report->framesLost);
  }
}

TEST(OrleskPacedCommand, AThreeSecondWriteStallLosesNothing) {
  SKIP_WITHOUT_COMMAND("strace");
  PacedMicrophone microphone(AtSpeed(1));
  ScratchFolder dir;
  const fs::path path = dir / "stalled.wav";
  // The first audio write stalls for 3 s, half a second into recording.
  const CommandResult result = RunCommand(
      WithWriteStall(Command(path, "--rate 48000 --bits 32 --seconds 5 2>&1"), 2, 3000000));
  EXPECT_EQ(result.exitCode, 0) << result.output;
  EXPECT_EQ(ExpectConsecutiveCounters(ExpectFinishedRecording(path, 4), 4), 240000u);
  const auto report = microphone.report();
  ASSERT_TRUE(report);
  EXPECT_EQ(report->overruns, 0u);
}

TEST(OrleskPacedCommand, AStallLongerThanTheQueueLosesAudioAndSaysSo) {
  SKIP_WITHOUT_COMMAND("strace");
  // At ten times real time, a 1.5 s stall is 15 s of audio: three times
  // what the queue holds.
  PacedMicrophone microphone(AtSpeed(10));
  ScratchFolder dir;
  const fs::path path = dir / "lost.wav";
  const CommandResult result =
      RunCommand(WithWriteStall(Command(path, "--bits 32 --seconds 20 2>&1"), 2, 1500000));
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.output.find("audio was lost"), std::string::npos) << result.output;
  const Bytes audio = ExpectFinishedRecording(path, 4);
  EXPECT_EQ(audio.size(), 20u * 8000 * 4);
  EXPECT_GT(ExpectGrowingCounters(audio, 4), 0u);
  // Capture that waited out the stall would lose its 1.5 s x 10 of audio
  // to overruns; a busy machine may still cost the device's short ring once.
  constexpr std::uint64_t framesOfTheStall = 8000 * 10 * 3 / 2;
  const auto report = microphone.report();
  ASSERT_TRUE(report);
  EXPECT_LT(report->framesLost, framesOfTheStall / 2) << "capture waited for the disk";
}

TEST_F(OrleskInBackground, AnOverrunLosesAudioAndSaysSo) {
  PacedMicrophone microphone(AtSpeed(1));
  ASSERT_TRUE(StartAndWaitFor(4000));
  // Nothing of the process runs for 1.5 s: the device's 0.5 s ring
  // overflows.
  command_->Signal(SIGSTOP);
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  command_->Signal(SIGCONT);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_EQ(EndWith(SIGINT), 1);
  EXPECT_NE(errors().find("audio was lost"), std::string::npos) << errors();
  ExpectFinishedRecording(path_, 2);
  const auto report = microphone.report();
  ASSERT_TRUE(report);
  EXPECT_GE(report->overruns, 1u);
}

TEST_F(OrleskInBackground, SighupFinalisesTheRecording) {
  PacedMicrophone microphone(AtSpeed(4));
  ASSERT_TRUE(StartAndWaitFor(8000));
  const int exitCode = EndWith(SIGHUP);
  const paced_device::PacedDeviceReport counts =
      ExpectEveryFrameReadInTheFile(path_, microphone, 2);
  EXPECT_EQ(exitCode, counts.overruns == 0 ? 0 : 1) << errors();
}

// A second recording of the same file, in another format, is refused
// before it touches the file: the first goes on and keeps its header.
TEST_F(OrleskInBackground, ASecondRecordingOfTheSameFileIsRefusedAndTheFirstGoesOn) {
  PacedMicrophone microphone(AtSpeed(1));
  ASSERT_TRUE(StartAndWaitFor(4000));
  const CommandResult second = RunCommand(Command(path_, "--bits 32 --seconds 0.5 2>&1"));
  EXPECT_EQ(second.exitCode, 1) << second.output;
  EXPECT_NE(second.output.find("the file cannot be created"), std::string::npos)
      << second.output;
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const int exitCode = EndWith(SIGINT);
  const paced_device::PacedDeviceReport counts =
      ExpectEveryFrameReadInTheFile(path_, microphone, 2);
  EXPECT_EQ(exitCode, counts.overruns == 0 ? 0 : 1) << errors();
  EXPECT_EQ(Le16At(ReadWholeFile(path_), 34), 16u);
}

// What someone else does to the file while it is being recorded.
struct Tampering {
  const char* name;
  const char* shell;  // run with the file's path as $1
  const char* message;
};

void PrintTo(const Tampering& tampering, std::ostream* out) { *out << tampering.name; }

class OrleskFileTampering : public OrleskInBackground,
                            public ::testing::WithParamInterface<Tampering> {};

// The command ends at once rather than wait out its length (the file no
// longer grows), and says what happened rather than that it could not
// cut the recording.
TEST_P(OrleskFileTampering, EndsTheRecordingAtOnceAndSaysWhatHappenedToTheFile) {
  PacedMicrophone microphone(AtSpeed(1));
  ASSERT_TRUE(StartAndWaitFor(8000, {"--seconds", "8"}));
  const auto tampered = std::chrono::steady_clock::now();
  ASSERT_EQ(RunCommand("sh -c '" + std::string(GetParam().shell) + "' sh " + Quoted(path_))
                .exitCode,
            0);
  EXPECT_EQ(End(), 1) << errors();
  EXPECT_LT(std::chrono::steady_clock::now() - tampered, std::chrono::seconds(4));
  EXPECT_NE(errors().find(std::string("the file was ") + GetParam().message), std::string::npos)
      << errors();
  EXPECT_EQ(errors().find("cannot cut"), std::string::npos) << errors();
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, OrleskFileTampering,
    ::testing::Values(Tampering{"TruncatedToZero", "truncate -s 0 \"$1\"", "truncated"},
                      Tampering{"TruncatedToItsHeader", "truncate -s 44 \"$1\"", "truncated"},
                      Tampering{"Removed", "rm \"$1\"", "removed"},
                      Tampering{"Replaced", "echo other > \"$1.new\" && mv \"$1.new\" \"$1\"",
                                "replaced"}),
    [](const ::testing::TestParamInfo<Tampering>& kind) { return kind.param.name; });

// A killed recording cannot finalise itself, but its sizes were brought up
// to date while it ran: the header covers all but the last second or so.
TEST_F(OrleskInBackground, ARecordingKilledMidwayReadsAsAllButItsLastSecond) {
  PacedMicrophone microphone(AtSpeed(1));
  ASSERT_TRUE(StartAndWaitFor(16000));
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  EndWith(SIGKILL);

  const Bytes file = ReadWholeFile(path_);
  ASSERT_GE(file.size(), 44u);
  const std::size_t written = file.size() - 44;
  const std::uint32_t declared = Le32At(file, 40);
  EXPECT_EQ(Le32At(file, 4), declared + 36);
  EXPECT_EQ(declared % 2, 0u);
  EXPECT_LE(declared, written);
  EXPECT_GE(declared + 16000u, written) << "the sizes lag the audio by more than a second";
  EXPECT_GE(declared, 16000u);
  ExpectConsecutiveCounters(AudioOf(file), 2);
}

}  // namespace
