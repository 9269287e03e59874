#include "recorder_test_support.h"

#include <array>
#include <cstdio>
#include <memory>

namespace recorder_test {

test_support::Bytes AudioOf(const test_support::Bytes& file) {
  if (file.size() < 44) {
    return {};
  }
  return {file.begin() + 44, file.end()};
}

std::string RunCommand(const std::string& command) {
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
  std::string output;
  if (!pipe) {
    return output;
  }
  std::array<char, 256> chunk{};
  while (std::fgets(chunk.data(), chunk.size(), pipe.get()) != nullptr) {
    output += chunk.data();
  }
  return output;
}

bool HaveCommand(const std::string& name) {
  std::string command = "command -v ";
  command += name;
  command += " 2>/dev/null";
  return RunCommand(command).find(name) != std::string::npos;
}

std::string Quoted(const std::filesystem::path& path) {
  // Appended piece by piece: g++ 12 warns falsely on "'" + string.
  std::string quoted;
  quoted += '\'';
  quoted += path.string();
  quoted += '\'';
  return quoted;
}

}  // namespace recorder_test
