#include "recorder_test_support.h"

#include <unistd.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>

namespace recorder_test {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "orlesk-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("cannot create a temporary directory");
  }
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::u16string Utf16(const std::string& utf8) {
  std::u16string wide;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto byte = static_cast<unsigned char>(utf8[i]);
    if (byte >= 0xC0 && i + 1 < utf8.size()) {
      const auto next = static_cast<unsigned char>(utf8[++i]);
      wide.push_back(static_cast<char16_t>(((byte & 0x1F) << 6) | (next & 0x3F)));
    } else {
      wide.push_back(static_cast<char16_t>(byte));
    }
  }
  return wide;
}

std::uint32_t Le32At(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
  return static_cast<std::uint32_t>(bytes.at(offset)) |
         static_cast<std::uint32_t>(bytes.at(offset + 1)) << 8 |
         static_cast<std::uint32_t>(bytes.at(offset + 2)) << 16 |
         static_cast<std::uint32_t>(bytes.at(offset + 3)) << 24;
}

std::uint16_t Le16At(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
  return static_cast<std::uint16_t>(bytes.at(offset) | bytes.at(offset + 1) << 8);
}

std::vector<std::uint8_t> AudioOf(const std::vector<std::uint8_t>& file) {
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
