// Conversion of the host's UTF-16 paths to the UTF-8 byte strings that
// Linux file functions take.
#pragma once

#include <optional>
#include <string>

namespace common {

// Converts a null-terminated UTF-16 path to UTF-8. A surrogate pair becomes
// one 4-byte sequence. Returns no value for a null pointer (there is no
// path) and for a string with an unpaired surrogate (no file can have that
// name). The result is sized for UTF-8 on the heap, so a long path can
// never overflow the stack.
std::optional<std::string> NarrowPath(const char16_t* widePath);

}  // namespace common
