#include "wav_header.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(WavHeader, LittleEndianFieldsAreReadAndWrittenByteByByte) {
  wav::WavHeader header{};
  wav::WriteLe32(&header[24], 0x11223344u);
  wav::WriteLe16(&header[22], 0xA1B2u);
  EXPECT_EQ(header[24], 0x44);
  EXPECT_EQ(header[25], 0x33);
  EXPECT_EQ(header[26], 0x22);
  EXPECT_EQ(header[27], 0x11);
  EXPECT_EQ(header[22], 0xB2);
  EXPECT_EQ(header[23], 0xA1);
  EXPECT_EQ(wav::ReadLe32(&header[24]), 0x11223344u);
  EXPECT_EQ(wav::ReadLe16(&header[22]), 0xA1B2u);
}

TEST(WavHeader, SizeRuleKeepsRiffSizeThirtySixAboveDataSize) {
  wav::WavHeader header{};
  wav::SetWavSizes(header, 0);
  EXPECT_EQ(wav::ReadLe32(&header[4]), 36u);
  EXPECT_EQ(wav::ReadLe32(&header[40]), 0u);

  wav::SetWavSizes(header, 9 * 512 * 2 + 392 * 2);
  EXPECT_EQ(wav::ReadLe32(&header[40]), 10000u);
  EXPECT_EQ(wav::ReadLe32(&header[4]), 10036u);
}

TEST(WavHeader, DataSizeTooLargeForTheFieldsSaturatesInsteadOfWrapping) {
  wav::WavHeader header{};
  wav::SetWavSizes(header, 0xFFFFFFFFull - 36);  // the largest that fits
  EXPECT_EQ(wav::ReadLe32(&header[40]), 0xFFFFFFFFu - 36);
  EXPECT_EQ(wav::ReadLe32(&header[4]), 0xFFFFFFFFu);

  for (const std::uint64_t huge : {0xFFFFFFFFull - 35, 0x100000000ull, 65535ull * 0x7FFFFFFFull}) {
    wav::SetWavSizes(header, huge);
    EXPECT_EQ(wav::ReadLe32(&header[40]), 0xFFFFFFFFu - 36) << huge;
    EXPECT_EQ(wav::ReadLe32(&header[4]), 0xFFFFFFFFu) << huge;
  }
}

TEST(WavHeader, ComposedHeaderIsCanonicalPcmWithZeroSizes) {
  const wav::WavHeader header = wav::ComposeWavHeader(8000, 16, 1);
  EXPECT_EQ(std::memcmp(&header[0], "RIFF", 4), 0);
  EXPECT_EQ(std::memcmp(&header[8], "WAVE", 4), 0);
  EXPECT_EQ(std::memcmp(&header[12], "fmt ", 4), 0);
  EXPECT_EQ(std::memcmp(&header[36], "data", 4), 0);
  EXPECT_EQ(wav::ReadLe32(&header[4]), 0u);
  EXPECT_EQ(wav::ReadLe32(&header[16]), 16u);
  EXPECT_EQ(wav::ReadLe16(&header[20]), 1u);
  EXPECT_EQ(wav::ReadLe16(&header[22]), 1u);
  EXPECT_EQ(wav::ReadLe32(&header[24]), 8000u);
  EXPECT_EQ(wav::ReadLe32(&header[28]), 16000u);
  EXPECT_EQ(wav::ReadLe16(&header[32]), 2u);
  EXPECT_EQ(wav::ReadLe16(&header[34]), 16u);
  EXPECT_EQ(wav::ReadLe32(&header[40]), 0u);
}

TEST(WavHeader, TwelveBitDepthTruncatesBlockAlignButNotByteRate) {
  const wav::WavHeader header = wav::ComposeWavHeader(8000, 12, 1);
  EXPECT_EQ(wav::ReadLe16(&header[32]), 1u);       // 12 / 8
  EXPECT_EQ(wav::ReadLe32(&header[28]), 12000u);   // 8000 × 12 / 8
  EXPECT_EQ(wav::ReadLe16(&header[34]), 12u);
}

}  // namespace
