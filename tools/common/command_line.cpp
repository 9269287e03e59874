#include "command_line.h"

namespace tool_support {

std::optional<int> ParseCommandLine(CLI::App& app, int argc, char** argv) {
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    // Prints the help, the version, or the error and a hint; CLI11's own
    // exit codes differ per error, ours do not.
    const int code = app.exit(error);
    return code == 0 ? kExitSuccess : kExitUsage;
  }
  return std::nullopt;
}

}  // namespace tool_support
