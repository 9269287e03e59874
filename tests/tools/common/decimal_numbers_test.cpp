// Numbers on the command line are plain decimal: leading zeros do not make
// octal, and hex, exponents, fractions where a whole number is wanted,
// signs where none is allowed, blanks and out-of-range values are refused.
#include "decimal_numbers.h"

#include <gtest/gtest.h>

#include <string>

#include "commands.h"
#include "test_files.h"

namespace {

using tool_support::ParseDecimalInt32;
using tool_support::ParseDecimalNumber;

TEST(DecimalNumbers, WholeNumbersAreDecimalWithinThirtyTwoBits) {
  EXPECT_EQ(ParseDecimalInt32("150"), 150);
  EXPECT_EQ(ParseDecimalInt32("0150"), 150);
  EXPECT_EQ(ParseDecimalInt32("044100"), 44100);
  EXPECT_EQ(ParseDecimalInt32("0"), 0);
  EXPECT_EQ(ParseDecimalInt32("-5"), -5);
  EXPECT_EQ(ParseDecimalInt32("2147483647"), 2147483647);
  EXPECT_EQ(ParseDecimalInt32("-2147483648"), -2147483647 - 1);
  EXPECT_EQ(ParseDecimalInt32("000000000000000000000000000042"), 42);
  for (const char* refused : {"", "-", "0x96", "0X96", "1e3", "1.0", "1.5", "+5", " 5", "5 ",
                              "--5", "2147483648", "-2147483649", "99999999999999999999",
                              "abc", "0b101", "5h"}) {
    EXPECT_FALSE(ParseDecimalInt32(refused)) << "'" << refused << "'";
  }
}

TEST(DecimalNumbers, NumbersMayHaveAFractionButNothingElse) {
  EXPECT_EQ(ParseDecimalNumber("3"), 3.0);
  EXPECT_EQ(ParseDecimalNumber("0.25"), 0.25);
  EXPECT_EQ(ParseDecimalNumber("007.5"), 7.5);
  EXPECT_EQ(ParseDecimalNumber("0"), 0.0);
  for (const char* refused : {"", ".", ".5", "5.", "1e300", "1E3", "nan", "inf", "infinity",
                              "-1", "+1", "0x10", "1.2.3", " 1", "1,5",
                              // Too large for a double at all.
                              "1000000000000000000000000000000000000000000000000000000000000000"
                              "0000000000000000000000000000000000000000000000000000000000000000"
                              "0000000000000000000000000000000000000000000000000000000000000000"
                              "0000000000000000000000000000000000000000000000000000000000000000"
                              "0000000000000000000000000000000000000000000000000000000000000000"}) {
    EXPECT_FALSE(ParseDecimalNumber(refused)) << "'" << refused << "'";
  }
}

// Through CLI11, as both commands read their options.
TEST(DecimalNumbers, OptionsReadTheSameValueAsTheParsers) {
  auto parse = [](const std::string& rate, const std::string& seconds) {
    CLI::App app;
    std::int32_t parsedRate = 0;
    double parsedSeconds = 0;
    tool_support::AcceptDecimalInt32(app.add_option("--rate", parsedRate));
    tool_support::AcceptDecimalNumber(app.add_option("--seconds", parsedSeconds));
    app.parse({seconds, "--seconds", rate, "--rate"});  // CLI11 takes them in reverse
    return std::pair{parsedRate, parsedSeconds};
  };
  EXPECT_EQ(parse("0150", "0.1"), (std::pair{150, 0.1}));
  EXPECT_EQ(parse("-0", "2.000000000000000000001"), (std::pair{0, 2.0}));
  EXPECT_THROW(parse("0x96", "1"), CLI::ValidationError);
  EXPECT_THROW(parse("150", "1e3"), CLI::ValidationError);
}

TEST(DecimalNumbers, TheTavrelCommandReadsItsSpeedAsDecimal) {
  test_support::ScratchFolder folder;
  const std::string in = test_support::Quoted(folder / "in.wav");
  const std::string out = test_support::Quoted(folder / "out.wav");
  test_support::WriteWholeFile(folder / "in.wav",
                               test_support::MakeWav({1, 8000, 16, 0}, test_support::Ramp16(800)));
  const std::string tavrel = TAVREL_COMMAND;
  ASSERT_EQ(test_support::RunCommand(tavrel + " " + in + " " + out + " 0150 >/dev/null").exitCode,
            0);
  EXPECT_EQ(test_support::Le32At(test_support::ReadWholeFile(folder / "out.wav"), 24), 12000u)
      << "0150 is 150 %, not octal 104 %";
  for (const char* speed : {"0x96", "150.0", "1e2", "''", "4294967446"}) {
    EXPECT_EQ(test_support::RunCommand(tavrel + " " + in + " " + out + " " + speed +
                                       " >/dev/null 2>&1")
                  .exitCode,
              2)
        << speed;
  }
}

}  // namespace
