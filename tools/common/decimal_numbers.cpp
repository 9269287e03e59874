#include "decimal_numbers.h"

#include <array>
#include <charconv>
#include <cmath>
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
  const bool negative = !text.empty() && text.front() == '-';
  const std::string_view digits = negative ? text.substr(1) : text;
  if (!IsDigits(digits)) {
    return std::nullopt;
  }
  std::uint64_t magnitude = 0;
  const auto [end, error] =
      std::from_chars(digits.data(), digits.data() + digits.size(), magnitude, 10);
  const std::uint64_t limit = negative ? std::uint64_t{1} << 31 : (std::uint64_t{1} << 31) - 1;
  if (error != std::errc() || end != digits.data() + digits.size() || magnitude > limit) {
    return std::nullopt;
  }
  const auto value = static_cast<std::int64_t>(magnitude);
  return static_cast<std::int32_t>(negative ? -value : value);
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
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
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
