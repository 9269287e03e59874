// Packed samples to integers and back: every depth's extremes and silence,
// little-endian byte by byte, 8 bits centred, and a clamp on the way out.
#include "pcm_samples.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using tavrel::tempo::DecodePcmSamples;
using tavrel::tempo::EncodePcmSamples;
using Bytes = std::vector<std::uint8_t>;

struct Depth {
  std::uint32_t bits;
  Bytes bytes;                        // lowest, silence, -1 (or 127), highest
  std::vector<std::int32_t> samples;  // the same, decoded
  std::vector<std::int32_t> beyond;   // below lowest and above highest
};

class PcmDepth : public ::testing::TestWithParam<Depth> {};

TEST_P(PcmDepth, DecodesAndEncodesEveryByteOfItsRange) {
  const Depth& depth = GetParam();
  const std::size_t count = depth.samples.size();
  std::vector<std::int32_t> decoded(count);
  DecodePcmSamples(depth.bytes.data(), count, depth.bits, decoded.data());
  EXPECT_EQ(decoded, depth.samples);
  Bytes encoded(depth.bytes.size(), 0xA5);
  EncodePcmSamples(depth.samples.data(), count, depth.bits, encoded.data());
  EXPECT_EQ(encoded, depth.bytes);
}

TEST_P(PcmDepth, ClampsWhatLiesBeyondTheRange) {
  const Depth& depth = GetParam();
  const std::size_t width = depth.bits / 8;
  Bytes encoded(2 * width, 0xA5);
  EncodePcmSamples(depth.beyond.data(), 2, depth.bits, encoded.data());
  const Bytes lowest(depth.bytes.begin(), depth.bytes.begin() + static_cast<std::ptrdiff_t>(width));
  const Bytes highest(depth.bytes.end() - static_cast<std::ptrdiff_t>(width), depth.bytes.end());
  EXPECT_EQ(Bytes(encoded.begin(), encoded.begin() + static_cast<std::ptrdiff_t>(width)), lowest);
  EXPECT_EQ(Bytes(encoded.begin() + static_cast<std::ptrdiff_t>(width), encoded.end()), highest);
}

INSTANTIATE_TEST_SUITE_P(
    , PcmDepth,
    ::testing::Values(
        Depth{8, {0x00, 0x80, 0xFF}, {-128, 0, 127}, {-129, 128}},
        Depth{16, {0x00, 0x80, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x7F}, {-32768, 0, -1, 32767},
              {-40000, 40000}},
        Depth{24,
              {0x00, 0x00, 0x80, 0x00, 0x00, 0x00, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F},
              {-8388608, 0, -2, 8388607},
              {-8388609, 8388608}},
        Depth{32,
              {0x00, 0x00, 0x00, 0x80, 0x00, 0x00, 0x00, 0x00, 0x01, 0x02, 0x03, 0x04, 0xFF,
               0xFF, 0xFF, 0x7F},
              {INT32_MIN, 0, 0x04030201, INT32_MAX},
              {INT32_MIN, INT32_MAX}}));

}  // namespace
