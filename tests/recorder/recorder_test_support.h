// Small helpers shared by the recorder's tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace recorder_test {

// A fresh directory under the system's temporary directory, removed with
// everything in it at the end of the test.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path);

// UTF-16 of a UTF-8 path (the tests' paths are ASCII or two-byte UTF-8).
std::u16string Utf16(const std::string& utf8);

std::uint32_t Le32At(const std::vector<std::uint8_t>& bytes, std::size_t offset);
std::uint16_t Le16At(const std::vector<std::uint8_t>& bytes, std::size_t offset);

// The file's bytes after the 44-byte header.
std::vector<std::uint8_t> AudioOf(const std::vector<std::uint8_t>& file);

// Runs a shell command and returns its standard output.
std::string RunCommand(const std::string& command);
bool HaveCommand(const std::string& name);
std::string Quoted(const std::filesystem::path& path);

}  // namespace recorder_test
