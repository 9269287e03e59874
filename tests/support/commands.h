// Running commands from tests: the independent judges (sox, ffprobe) and
// the project's own command-line tools.
#pragma once

#include <gtest/gtest.h>

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

// `command` run under strace with the system calls named `call` changed by
// `injection` (strace's -e inject=CALL:INJECTION, e.g. "error=EIO:when=2"):
// in every process it starts, and, given `path`, only on that file's
// descriptors. LeakSanitizer cannot work under ptrace, so a sanitizer
// build goes without it.
std::string WithFaultInjected(const std::string& command, const std::string& call,
                              const std::string& injection,
                              const std::filesystem::path& path = {});

}  // namespace test_support

// Skips the running test where the command `name` is not installed.
#define SKIP_WITHOUT_COMMAND(name)            \
  if (!::test_support::HaveCommand(name)) \
  GTEST_SKIP() << (name) << " is not installed"
