// Numbers on both commands' lines are plain decimal, whatever C's parsers
// would make of them: "0150" is 150 (not octal 104), and "0x96", "1e3",
// "1.5" where a whole number is wanted, "", " 5" and anything out of range
// are usage errors.
#pragma once

#include <CLI/CLI.hpp>

#include <cstdint>
#include <optional>
#include <string_view>

namespace tool_support {

// An optional '-' and decimal digits, within 32 bits.
std::optional<std::int32_t> ParseDecimalInt32(std::string_view text);

// Decimal digits with an optional fraction ("3", "0.25", "007.5"): no
// sign, no exponent, no "inf" or "nan".
std::optional<double> ParseDecimalNumber(std::string_view text);

// For CLI11 options: accept only what the parsers above accept, and hand
// the number on in a spelling that CLI11 reads as the same value. Both
// return `option`.
CLI::Option* AcceptDecimalInt32(CLI::Option* option);
CLI::Option* AcceptDecimalNumber(CLI::Option* option);

}  // namespace tool_support
