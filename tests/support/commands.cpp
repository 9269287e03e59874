#include "commands.h"

#include <sys/wait.h>

#include <array>
#include <cstdio>

namespace test_support {

CommandResult RunCommand(const std::string& command) {
  CommandResult result{-1, {}};
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) {
    return result;
  }
  std::array<char, 256> chunk{};
  while (std::fgets(chunk.data(), chunk.size(), pipe) != nullptr) {
    result.output += chunk.data();
  }
  const int status = ::pclose(pipe);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

bool HaveCommand(const std::string& name) {
  std::string command = "command -v ";
  command += name;
  command += " >/dev/null 2>&1";
  return RunCommand(command).exitCode == 0;
}

std::string Quoted(const std::filesystem::path& path) {
  // Appended piece by piece: g++ 12 warns falsely on "'" + string.
  std::string quoted;
  quoted += '\'';
  quoted += path.string();
  quoted += '\'';
  return quoted;
}

std::string WithFaultInjected(const std::string& command, const std::string& call,
                              const std::string& injection, const std::filesystem::path& path) {
  std::string traced =
      "ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0 "
      // Only the traced calls stop the program, which runs at full speed
      // otherwise.
      "strace -f --seccomp-bpf -qq -o /dev/null ";
  if (!path.empty()) {
    traced += "-P " + Quoted(path) + " ";
  }
  traced += "-e trace=" + call + " -e inject=" + call + ":" + injection + " " + command;
  return traced;
}

}  // namespace test_support
