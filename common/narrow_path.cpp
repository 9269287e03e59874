#include "narrow_path.h"

#include <cstddef>
#include <cstdint>

// The conversion is written out rather than left to c16rtomb or iconv:
// those follow the process locale and load conversion modules from files,
// and a library must not depend on either.

namespace common {
namespace {

bool IsHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

void AppendUtf8(std::string& out, char32_t codePoint) {
  auto put = [&out](char32_t byte) { out.push_back(static_cast<char>(byte)); };
  if (codePoint < 0x80) {
    put(codePoint);
  } else if (codePoint < 0x800) {
    put(0xC0 | (codePoint >> 6));
    put(0x80 | (codePoint & 0x3F));
  } else if (codePoint < 0x10000) {
    put(0xE0 | (codePoint >> 12));
    put(0x80 | ((codePoint >> 6) & 0x3F));
    put(0x80 | (codePoint & 0x3F));
  } else {
    put(0xF0 | (codePoint >> 18));
    put(0x80 | ((codePoint >> 12) & 0x3F));
    put(0x80 | ((codePoint >> 6) & 0x3F));
    put(0x80 | (codePoint & 0x3F));
  }
}

}  // namespace

std::optional<std::string> NarrowPath(const char16_t* widePath) {
  if (widePath == nullptr) {
    return std::nullopt;
  }
  std::size_t length = 0;
  while (widePath[length] != u'\0') {
    ++length;
  }
  // No UTF-16 code unit takes more than 3 UTF-8 bytes: a BMP character
  // takes at most 3, a surrogate pair (two units) takes 4.
  std::string narrow;
  narrow.reserve(3 * length);
  for (std::size_t i = 0; i < length; ++i) {
    const char32_t unit = widePath[i];
    if (IsHighSurrogate(unit)) {
      const char32_t next = widePath[i + 1];  // the terminator at worst
      if (!IsLowSurrogate(next)) {
        return std::nullopt;
      }
      AppendUtf8(narrow, 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
      ++i;
    } else if (IsLowSurrogate(unit)) {
      return std::nullopt;
    } else {
      AppendUtf8(narrow, unit);
    }
  }
  return narrow;
}

}  // namespace common
