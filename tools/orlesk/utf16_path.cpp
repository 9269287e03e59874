#include "utf16_path.h"

#include <cstddef>
#include <cstdint>

namespace orlesk_cli {

namespace {

// Decodes the sequence at `at`; advances `at` past it. Nothing when it is
// not well-formed.
std::optional<char32_t> DecodeOne(std::string_view utf8, std::size_t& at) {
  const auto lead = static_cast<std::uint8_t>(utf8[at]);
  std::size_t length = 0;
  char32_t codePoint = 0;
  char32_t minimum = 0;
  if (lead < 0x80) {
    ++at;
    return lead;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, codePoint = lead & 0x1Fu, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, codePoint = lead & 0x0Fu, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, codePoint = lead & 0x07u, minimum = 0x10000;
  } else {
    return std::nullopt;
  }
  if (utf8.size() - at < length) {
    return std::nullopt;
  }
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<std::uint8_t>(utf8[at + i]);
    if ((next & 0xC0) != 0x80) {
      return std::nullopt;
    }
    codePoint = (codePoint << 6) | (next & 0x3Fu);
  }
  if (codePoint < minimum || codePoint > 0x10FFFF ||
      (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
    return std::nullopt;
  }
  at += length;
  return codePoint;
}

}  // namespace

std::optional<std::u16string> Utf16FromUtf8(std::string_view utf8) {
  std::u16string utf16;
  std::size_t at = 0;
  while (at < utf8.size()) {
    const std::optional<char32_t> codePoint = DecodeOne(utf8, at);
    if (!codePoint) {
      return std::nullopt;
    }
    if (*codePoint < 0x10000) {
      utf16.push_back(static_cast<char16_t>(*codePoint));
    } else {
      const char32_t offset = *codePoint - 0x10000;
      utf16.push_back(static_cast<char16_t>(0xD800 + (offset >> 10)));
      utf16.push_back(static_cast<char16_t>(0xDC00 + (offset & 0x3FF)));
    }
  }
  return utf16;
}

}  // namespace orlesk_cli
