#include "decimal_numbers.h"

#include <array>
#include <charconv>
#include <limits>
#include <string>

namespace tool_support {

namespace {

bool IsDigits(std::string_view text) {
  return !text.empty() &&
         text.find_first_not_of("0123456789") == std::string_view::npos;
}

}  // namespace

std::optional<std::int32_t> ParseDecimalInt32(std::string_view text) {
  // from_chars takes base 10 only, an optional '-' and no '+', space or
  // prefix, and says when the value leaves the type's range.
  std::int32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 10);
  if (error != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

std::optional<double> ParseDecimalNumber(std::string_view text) {
  const std::size_t point = text.find('.');
  if (!IsDigits(text.substr(0, point)) ||
      (point != std::string_view::npos && !IsDigits(text.substr(point + 1)))) {
    return std::nullopt;
  }
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value,
                                            std::chars_format::fixed);
  // Digits alone cannot spell inf or nan; too many overflow with an error.
  if (error != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

CLI::Option* AcceptDecimalInt32(CLI::Option* option) {
  return option->transform(CLI::Validator(
      [](std::string& text) -> std::string {
        const std::optional<std::int32_t> value = ParseDecimalInt32(text);
        if (!value) {
          return "'" + text + "' is not a whole decimal number from -2147483648 to 2147483647";
        }
        text = std::to_string(*value);
        return {};
      },
      "", "decimal integer"));
}

CLI::Option* AcceptDecimalNumber(CLI::Option* option) {
  return option->transform(CLI::Validator(
      [](std::string& text) -> std::string {
        const std::optional<double> value = ParseDecimalNumber(text);
        if (!value) {
          return "'" + text + "' is not a plain decimal number such as 3 or 0.25";
        }
        // The shortest spelling that reads back as exactly this double.
        std::array<char, 64> spelled{};
        const auto result = std::to_chars(spelled.data(), spelled.data() + spelled.size(), *value);
        text.assign(spelled.data(), result.ptr);
        return {};
      },
      "", "decimal number"));
}

}  // namespace tool_support
