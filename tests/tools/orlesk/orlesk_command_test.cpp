// The orlesk command on the virtual microphone: it stops at its time limit
// or at SIGTERM with the file finalised, and explains failures.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "recorder_test_support.h"
#include "virtual_microphone.h"

extern char** environ;

namespace {

using namespace recorder_test;
using namespace test_support;
namespace fs = std::filesystem;

std::string Command(const std::string& arguments) {
  std::string command = ORLESK_COMMAND;
  command += ' ';
  command += arguments;
  return command;
}

// The file plugin delivers as fast as it is read: the recording still
// holds exactly the seconds asked for.
TEST(OrleskCommand, StopsWithExactlyTheGivenSecondsOfAudio) {
  ScratchFolder dir;
  const std::vector<std::uint8_t> input = NoiseBytes(4 << 20, 11);
  PipeFeeder feeder(microphone->pipe(), input, 1600);
  feeder.Start();
  const fs::path path = dir / "timed.wav";
  const std::string output =
      RunCommand(Command(Quoted(path) + " --seconds 0.3 2>&1; echo exit=$?")).output;
  feeder.Stop();
  EXPECT_NE(output.find("exit=0"), std::string::npos) << output;
  EXPECT_EQ(ExpectFinishedPrefix(path, input, 2), 2400u * 2);
}

TEST(OrleskCommand, SigtermStopsTheRecordingCleanly) {
  ScratchFolder dir;
  const std::vector<std::uint8_t> input = NoiseBytes(4 << 20, 12);
  PipeFeeder feeder(microphone->pipe(), input, 1600);
  const fs::path path = dir / "terminated.wav";
  std::string program = ORLESK_COMMAND;
  std::string target = path.string();
  char* arguments[] = {program.data(), target.data(), nullptr};
  pid_t child = 0;
  ASSERT_EQ(::posix_spawn(&child, program.c_str(), nullptr, nullptr, arguments, environ), 0);
  feeder.Start();
  WaitForAudio(path, 3200);
  ::kill(child, SIGTERM);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  feeder.Stop();
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  ExpectFinishedPrefix(path, input, 2);
}

TEST(OrleskCommand, ExplainsFailuresAndExitsNonZero) {
  ScratchFolder dir;
  PipeFeeder feeder(microphone->pipe(), {}, 1);
  // An empty ALSA configuration: there is no capture device at all.
  WriteWholeFile(dir / "empty.conf", {});
  const std::string refused =
      RunCommand("ALSA_CONFIG_PATH=" + Quoted(dir / "empty.conf") + " " +
                 Command(Quoted(dir / "x.wav") + " --bits 24 --seconds 1 2>&1; echo exit=$?"))
          .output;
  EXPECT_NE(refused.find("8000 Hz, 24-bit mono: the default input device cannot record"),
            std::string::npos)
      << refused;
  EXPECT_NE(refused.find("exit=1"), std::string::npos) << refused;

  const std::string uncreatable = RunCommand(
      Command(Quoted(dir / "missing" / "x.wav") + " --seconds 1 2>&1; echo exit=$?")).output;
  EXPECT_NE(uncreatable.find("the file cannot be created"), std::string::npos) << uncreatable;
  EXPECT_NE(uncreatable.find("exit=1"), std::string::npos) << uncreatable;

  EXPECT_NE(RunCommand(Command("--version")).output.find("1.0.0.1"), std::string::npos);
}

TEST(OrleskCommand, RejectsBadUsageWithExitCodeTwo) {
  ScratchFolder dir;
  const std::string out = Quoted(dir / "x.wav");
  for (const std::string& arguments :
       {std::string(), out + " --rate fast", out + " --seconds -1", out + " --no-such-option",
        // Numbers are plain decimal and fit 32 bits.
        out + " --rate 0x10", out + " --rate ''", out + " --rate 8000.0",
        out + " --bits 4294967312", out + " --seconds 1e300", out + " --seconds nan",
        out + " --seconds inf",
        // A length must be at least a frame, and fit a WAV file's sizes.
        out + " --seconds 0", out + " --seconds 0.00001",
        out + " --rate 48000 --bits 32 --seconds 22370"}) {
    EXPECT_EQ(RunCommand(Command(arguments) + " >/dev/null 2>&1").exitCode, 2) << arguments;
  }
  // Arguments the device would refuse are the command line's fault: the
  // message names the argument.
  for (const auto& [arguments, message] :
       {std::pair<std::string, std::string>{"''", "OUT.wav is empty"},
        {out + " --rate 0", "--rate 0: the sample rate must be a positive number"},
        {out + " --rate -1", "--rate -1: the sample rate must be a positive number"},
        {out + " --bits 12", "--bits 12: the bits per sample must be 8, 16, 24 or 32"},
        {out + " --bits 0 --seconds 1", "--bits 0: the bits per sample must be"}}) {
    const CommandResult result = RunCommand(Command(arguments) + " 2>&1");
    EXPECT_EQ(result.exitCode, 2) << arguments;
    EXPECT_NE(result.output.find(message), std::string::npos) << arguments << ": " << result.output;
  }
  EXPECT_FALSE(fs::exists(dir / "x.wav"));
}

}  // namespace
