// The tavrel command as a person uses it: output line, messages, exit codes.
#include <gtest/gtest.h>

#include <string>

#include "commands.h"
#include "test_files.h"

namespace {

using namespace test_support;

CommandResult RunTavrel(const std::string& arguments) {
  return RunCommand(std::string(TAVREL_COMMAND) + " " + arguments + " 2>&1");
}

class TavrelCommand : public ::testing::Test {
 protected:
  void SetUp() override { WriteWholeFile(in_, MakeWav({1, 8000, 16, 0}, Ramp16(16000))); }

  ScratchFolder folder_;
  std::string in_ = (folder_ / "in.wav").string();
  std::string out_ = (folder_ / "out.wav").string();
};

TEST_F(TavrelCommand, DescribesInputAndOutputOnSuccess) {
  const CommandResult outcome = RunTavrel(in_ + " " + out_ + " 150");
  EXPECT_EQ(outcome.exitCode, 0);
  EXPECT_NE(outcome.output.find("8000 Hz, 1 ch, 16 bit, 16000 frames, 2.000 s"), std::string::npos)
      << outcome.output;
  EXPECT_NE(outcome.output.find("12000 Hz, 1 ch, 16 bit, 10656 frames, 0.888 s"), std::string::npos)
      << outcome.output;
}

TEST_F(TavrelCommand, ExplainsEachFailureAndExitsNonZero) {
  struct Case {
    std::string arguments;
    std::string message;
  };
  const Case cases[] = {
      {in_ + " " + out_ + " 0", "the speed must be at least 1 percent"},
      {(folder_ / "missing.wav").string() + " " + out_ + " 100", "the source cannot be opened"},
      {in_ + " " + in_ + " 100", "it is the source itself"},
      {in_ + " /dev/full 100", "is the disk full?"},
  };
  for (const Case& c : cases) {
    const CommandResult outcome = RunTavrel(c.arguments);
    EXPECT_EQ(outcome.exitCode, 1) << c.arguments;
    EXPECT_NE(outcome.output.find(c.message), std::string::npos) << outcome.output;
  }
  EXPECT_EQ(ReadWholeFile(in_), MakeWav({1, 8000, 16, 0}, Ramp16(16000)));
}

TEST_F(TavrelCommand, RejectsBadUsageWithExitCodeTwo) {
  EXPECT_EQ(RunTavrel(in_ + " " + out_).exitCode, 2);
  EXPECT_EQ(RunTavrel(in_ + " " + out_ + " fast").exitCode, 2);
  EXPECT_EQ(RunTavrel("\"$(printf '\\377.wav')\" " + out_ + " 100").exitCode, 2);  // not UTF-8
}

TEST_F(TavrelCommand, PrintsVersionAndHelp) {
  const CommandResult version = RunTavrel("--version");
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_NE(version.output.find("1.0.0.1"), std::string::npos);
  const CommandResult help = RunTavrel("--help");
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.output.find("SOURCE DEST SPEED"), std::string::npos);
}

}  // namespace
