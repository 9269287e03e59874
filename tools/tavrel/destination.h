// How the new file reaches DEST. The library writes a temporary file beside
// the file DEST names, and that replaces DEST only once it is complete: a
// refusal, a failure or a signal leaves DEST as it was. What is not a
// regular file (a FIFO, a device, /dev/stdout) is written by the library
// itself, and "-" is standard output.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>

#include "temporary_file.h"

namespace tavrel_tool {

struct Destination {
  enum class Way {
    kReplace,         // a regular file, or none yet: renamed into place
    kDirect,          // anything else: the library writes DEST as given
    kStandardOutput,  // "-": copied to standard output
  };
  Way way = Way::kDirect;
  std::filesystem::path file;    // kReplace: the file DEST's symbolic links lead to
  std::filesystem::path folder;  // where temporary files go: file's, or the system's
  mode_t mode = 0;               // kReplace: the permission bits the new file gets
  bool writable = true;          // kReplace: false for an existing file this user may not write
};

Destination FindDestination(const std::string& destination);

// Puts the complete file `finished` where `destination` says; returns what
// failed, or nothing. A replaced file's name now holds `finished`.
std::optional<std::string> Deliver(const Destination& destination, TemporaryFile& finished);

// Writes the file at `path` to standard output (or to `out` in its place);
// returns what failed, or nothing.
std::optional<std::string> CopyToStandardOutput(const std::filesystem::path& path,
                                                int out = 1);

}  // namespace tavrel_tool
