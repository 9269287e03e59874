// What the tavrel command does once its command line is read: look at the
// source, refuse what the speed or tempo effect cannot compute, hand the library the
// source itself or a canonical copy of its samples, put the new file in
// place, and report.
#pragma once

#include <cstdint>
#include <string>

namespace tavrel_tool {

struct SpeedChange {
  std::string source;  // UTF-8 paths; "-" is standard input
  std::string destination;  // "-" is standard output
  std::int32_t speed;
  bool asIs;  // hand the library the source untouched, whatever it holds
  bool keepPitch = false;  // the tempo effect: the rate and pitch kept
};

// Returns the exit code. The summary, problems and warnings go to standard
// error: standard output may carry the new file.
int ChangeSpeed(const SpeedChange& change);

}  // namespace tavrel_tool
