// Fuzz target for NarrowPath on arbitrary 16-bit strings (pairs of input
// bytes, little-endian, up to the first zero unit). The result is judged by
// a decoder written separately here: an unpaired surrogate must give no
// path, and anything else must give well-formed UTF-8 that decodes back to
// exactly the units that went in.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "narrow_path.h"

namespace {

bool IsHigh(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLow(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

bool HasUnpairedSurrogate(const std::u16string& units) {
  for (std::size_t i = 0; i < units.size(); ++i) {
    if (IsHigh(units[i]) && i + 1 < units.size() && IsLow(units[i + 1])) {
      ++i;
    } else if (IsHigh(units[i]) || IsLow(units[i])) {
      return true;
    }
  }
  return false;
}

// Strict UTF-8 to UTF-16: refuses overlong forms, encoded surrogates, code
// points past U+10FFFF, bad continuation bytes and truncated sequences.
std::optional<std::u16string> DecodeUtf8(const std::string& text) {
  std::u16string units;
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<std::uint8_t>(text[i]);
    // Sequence length, payload bits of the lead byte, and the smallest code
    // point that needs this many bytes.
    std::size_t length = 0;
    char32_t codePoint = 0;
    char32_t smallest = 0;
    if (lead < 0x80) {
      length = 1;
      codePoint = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      length = 2;
      codePoint = lead & 0x1Fu;
      smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3;
      codePoint = lead & 0x0Fu;
      smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4;
      codePoint = lead & 0x07u;
      smallest = 0x10000;
    } else {
      return std::nullopt;
    }
    if (i + length > text.size()) {
      return std::nullopt;
    }
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<std::uint8_t>(text[i + k]);
      if ((next & 0xC0) != 0x80) {
        return std::nullopt;
      }
      codePoint = (codePoint << 6) | (next & 0x3Fu);
    }
    if (codePoint < smallest || codePoint > 0x10FFFF ||
        (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
      return std::nullopt;
    }
    if (codePoint >= 0x10000) {
      const char32_t offset = codePoint - 0x10000;
      units.push_back(static_cast<char16_t>(0xD800 + (offset >> 10)));
      units.push_back(static_cast<char16_t>(0xDC00 + (offset & 0x3FF)));
    } else {
      units.push_back(static_cast<char16_t>(codePoint));
    }
    i += length;
  }
  return units;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // An exactly sized buffer, so that reading past the terminator is an
  // AddressSanitizer report.
  std::vector<char16_t> wide(size / 2 + 1, u'\0');
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    wide[i / 2] = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
  }
  const std::u16string units(wide.data());  // up to the first zero unit

  const std::optional<std::string> narrow = common::NarrowPath(wide.data());
  if (HasUnpairedSurrogate(units)) {
    FUZZ_CHECK(!narrow.has_value());
    return 0;
  }
  FUZZ_CHECK(narrow.has_value());
  FUZZ_CHECK(narrow->find('\0') == std::string::npos);
  const std::optional<std::u16string> decoded = DecodeUtf8(*narrow);
  FUZZ_CHECK(decoded.has_value());
  FUZZ_CHECK(*decoded == units);

  static const bool nullGivesNothing = !common::NarrowPath(nullptr).has_value();
  FUZZ_CHECK(nullGivesNothing);
  return 0;
}
