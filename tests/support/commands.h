// Running commands from tests: the independent judges (sox, ffprobe) and
// the project's own command-line tools.
#pragma once

#include <filesystem>
#include <string>

namespace test_support {

struct CommandResult {
  int exitCode;        // -1 when the command did not exit normally
  std::string output;  // its standard output
};

// Runs `command` through /bin/sh.
CommandResult RunCommand(const std::string& command);

// Whether `name` is a command on the PATH.
bool HaveCommand(const std::string& name);

// `path` in single quotes, for a shell command line.
std::string Quoted(const std::filesystem::path& path);

}  // namespace test_support
