#include "scratch_files.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "fuzz_check.h"

namespace fuzz {
namespace {

class ScratchDirectory {
 public:
  ScratchDirectory() {
    std::error_code error;
    const bool inMemory = std::filesystem::is_directory("/dev/shm", error);
    std::string pattern = inMemory ? "/dev/shm/tavrel-fuzz-XXXXXX" : "/tmp/tavrel-fuzz-XXXXXX";
    FUZZ_CHECK(::mkdtemp(pattern.data()) != nullptr);
    path_ = pattern;
  }
  ~ScratchDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace

std::string ScratchPath(const std::string& name) {
  static const ScratchDirectory directory;
  return (directory.path() / name).string();
}

std::u16string WidePath(const std::string& asciiPath) {
  return std::u16string(asciiPath.begin(), asciiPath.end());
}

void WriteWholeFile(const std::string& path, std::span<const std::uint8_t> bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  FUZZ_CHECK(file.good());
}

std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    return std::nullopt;
  }
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file),
                                   std::istreambuf_iterator<char>());
}

}  // namespace fuzz
