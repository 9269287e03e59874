#include "narrow_path.h"

#include <gtest/gtest.h>

namespace {

using common::NarrowPath;

TEST(NarrowPath, AsciiPassesUnchanged) {
  EXPECT_EQ(NarrowPath(u"/tmp/a b.wav"), std::optional<std::string>("/tmp/a b.wav"));
  EXPECT_EQ(NarrowPath(u""), std::optional<std::string>(""));
}

TEST(NarrowPath, NonAsciiBecomesUtf8OfTwoThreeAndFourBytes) {
  EXPECT_EQ(NarrowPath(u"caf\u00E9"), std::optional<std::string>("caf\xC3\xA9"));
  EXPECT_EQ(NarrowPath(u"\u97F3\u58F0"), std::optional<std::string>("\xE9\x9F\xB3\xE5\xA3\xB0"));
  // U+1F3B5 arrives as the surrogate pair D83C DFB5 and leaves as one sequence.
  EXPECT_EQ(NarrowPath(u"\U0001F3B5.wav"), std::optional<std::string>("\xF0\x9F\x8E\xB5.wav"));
  // The edges of each length class.
  EXPECT_EQ(NarrowPath(u"\u007F\u0080\u07FF\u0800\uFFFF"),
            std::optional<std::string>("\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF"));
  EXPECT_EQ(NarrowPath(u"\U00010000\U0010FFFF"),
            std::optional<std::string>("\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"));
}

TEST(NarrowPath, LongCjkPathIsNotCutShort) {
  // Three bytes for every code unit: more than two bytes per unit would hold.
  const std::u16string wide(2000, u'\u97F3');
  const auto narrow = NarrowPath(wide.c_str());
  ASSERT_TRUE(narrow.has_value());
  EXPECT_EQ(narrow->size(), 6000u);
}

TEST(NarrowPath, NullStaysNullAndUnpairedSurrogatesAreUnconvertible) {
  EXPECT_FALSE(NarrowPath(nullptr).has_value());
  const char16_t loneHigh[] = {u'a', 0xD83C, u'b', 0};
  const char16_t loneHighAtEnd[] = {u'a', 0xD83C, 0};
  const char16_t loneLow[] = {0xDFB5, u'a', 0};
  const char16_t reversedPair[] = {0xDFB5, 0xD83C, 0};
  EXPECT_FALSE(NarrowPath(loneHigh).has_value());
  EXPECT_FALSE(NarrowPath(loneHighAtEnd).has_value());
  EXPECT_FALSE(NarrowPath(loneLow).has_value());
  EXPECT_FALSE(NarrowPath(reversedPair).has_value());
}

}  // namespace
