// Command-line arguments are the file system's own bytes, UTF-8 on Linux;
// the libraries take UTF-16 paths like any host passes them.
#pragma once

#include <optional>
#include <string>

namespace tool_support {

// The UTF-16 form of a UTF-8 argument; nothing when the bytes are not UTF-8.
std::optional<std::u16string> Utf16Argument(const std::string& utf8);

}  // namespace tool_support
