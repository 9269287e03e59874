#include "utf16_argument.h"

#include <filesystem>

namespace tool_support {

std::optional<std::u16string> Utf16Argument(const std::string& utf8) {
  try {
    return std::filesystem::path(utf8).u16string();
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

}  // namespace tool_support
