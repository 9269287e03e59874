// Command-line paths are UTF-8 bytes; the library takes UTF-16.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orlesk_cli {

// UTF-16 for well-formed UTF-8; nothing for anything else (overlong forms,
// surrogates, truncated sequences), which no UTF-16 path could name.
std::optional<std::u16string> Utf16FromUtf8(std::string_view utf8);

}  // namespace orlesk_cli
