// What the tavrel command does once its command line is read: look at the
// source, refuse what the speed effect cannot compute, hand the library the
// source itself or a canonical copy of its samples, and report.
#pragma once

#include <cstdint>
#include <string>

namespace tavrel_tool {

struct SpeedChange {
  std::string source;  // UTF-8 paths
  std::string destination;
  std::int32_t speed;
  bool asIs;  // hand the library the source untouched, whatever it holds
};

// Returns the exit code. The summary goes to standard output, problems and
// warnings to standard error.
int ChangeSpeed(const SpeedChange& change);

}  // namespace tavrel_tool
