// How both commands read their command line and end: 0 on success, 1 when
// the work failed, 2 when the command line was wrong.
#pragma once

#include <CLI/CLI.hpp>

#include <optional>

namespace tool_support {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// Parses the command line. Returns the exit code when the command should
// end now: 0 after --help or --version (already printed), 2 after a usage
// error (explained on stderr).
std::optional<int> ParseCommandLine(CLI::App& app, int argc, char** argv);

}  // namespace tool_support
