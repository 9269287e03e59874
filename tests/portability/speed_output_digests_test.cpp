// Every architecture must write byte-identical files: the digests of the
// speed and tempo effects' outputs for a fixed set of inputs are compared with those
// kept in x86_64_digests.txt. The x86-64 build checks them too, so any
// change in output shows up on every architecture at once.
//
// After an intended change of output, rewrite the file on x86-64 with
//   speed_output_digests_test --write-digests=tests/portability/x86_64_digests.txt
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fnv1a.h"
#include "output_cases.h"
#include "output_digests.h"
#include "test_files.h"

namespace portability {
namespace {

std::string Hex(std::uint64_t value) {
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016" PRIx64, value);
  return hex;
}

TEST(Fnv1a64, MatchesThePublishedTestVectors) {
  const auto digestOf = [](const std::string& text) {
    Fnv1a64 digest;
    digest.Add({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
    return digest.value();
  };
  EXPECT_EQ(digestOf(""), 0xCBF29CE484222325u);
  EXPECT_EQ(digestOf("a"), 0xAF63DC4C8601EC8Cu);
  EXPECT_EQ(digestOf("foobar"), 0x85944171F73967E8u);
}

class SpeedOutputDigests : public ::testing::TestWithParam<std::uint16_t> {};

TEST_P(SpeedOutputDigests, MatchTheReferenceArchitecture) {
  const auto reference = ReadDigestFile(TAVREL_PORTABILITY_DIGESTS);
  ASSERT_TRUE(reference.has_value()) << "cannot read " << TAVREL_PORTABILITY_DIGESTS;
  const test_support::ScratchFolder work;
  int compared = 0;
  for (const OutputCase& c : AllOutputCases()) {
    if (c.bits != GetParam()) {
      continue;
    }
    const auto expected = reference->find(c.Name());
    ASSERT_NE(expected, reference->end()) << "no reference digest for " << c.Name();
    EXPECT_EQ(Hex(DigestOutputs(c, work.path())), Hex(expected->second)) << c.Name();
    ++compared;
  }
  EXPECT_GT(compared, 0);
}

std::string DepthName(const ::testing::TestParamInfo<std::uint16_t>& depth) {
  return "Bits" + std::to_string(depth.param);
}

INSTANTIATE_TEST_SUITE_P(EveryBitDepth, SpeedOutputDigests,
                         ::testing::Values(8, 12, 13, 16, 20, 24, 32), DepthName);

TEST(SpeedOutputDigestFile, HoldsExactlyTheCases) {
  const auto reference = ReadDigestFile(TAVREL_PORTABILITY_DIGESTS);
  ASSERT_TRUE(reference.has_value());
  std::vector<std::string> names;
  for (const OutputCase& c : AllOutputCases()) {
    names.push_back(c.Name());
  }
  std::vector<std::string> kept;
  for (const auto& entry : *reference) {
    kept.push_back(entry.first);
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, kept);
}

int WriteReferenceDigests(const std::string& path) {
  const test_support::ScratchFolder work;
  DigestsByName digests;
  for (const OutputCase& c : AllOutputCases()) {
    digests[c.Name()] = DigestOutputs(c, work.path());
  }
  if (!WriteDigestFile(path, digests)) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return 1;
  }
  std::printf("wrote %zu digests to %s\n", digests.size(), path.c_str());
  return 0;
}

}  // namespace
}  // namespace portability

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const std::string writeOption = "--write-digests=";
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument.starts_with(writeOption)) {
      return portability::WriteReferenceDigests(argument.substr(writeOption.size()));
    }
  }
  return RUN_ALL_TESTS();
}
