// Files for the tests and the fuzz targets: a scratch folder that cleans up
// after itself, whole-file reads and writes, and WAV images built byte by
// byte.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

namespace test_support {

using Bytes = std::vector<std::uint8_t>;

// A fresh folder, removed with everything in it when the object goes away.
class ScratchFolder {
 public:
  enum class Medium {
    kTemporaryDirectory,  // the system's temporary directory
    kMemory,              // /dev/shm where there is one, so that fuzzing wears no disk
  };
  explicit ScratchFolder(Medium medium = Medium::kTemporaryDirectory);
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::filesystem::path& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// Both throw when the file cannot be read or written.
Bytes ReadWholeFile(const std::filesystem::path& path);
void WriteWholeFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

// Every byte of the file, or nothing when it cannot be opened.
std::optional<Bytes> ReadFileIfExists(const std::filesystem::path& path);

// The names of everything in `folder`.
std::set<std::filesystem::path> FileNamesIn(const std::filesystem::path& folder);

// The UTF-16 form of an ASCII or UTF-8 path, as the libraries' internals
// take it.
std::u16string Utf16Path(const std::filesystem::path& path);

// A path as a host passes it to the exports: UTF-16 in the public headers'
// path type, wchar_t on Windows and char16_t elsewhere.
#if defined(_WIN32)
using HostChar = wchar_t;
#else
using HostChar = char16_t;
#endif
using HostString = std::basic_string<HostChar>;
HostString HostPath(const std::filesystem::path& path);

struct WavFormat {
  std::uint16_t channels;
  std::uint32_t sampleRate;
  std::uint16_t bitsPerSample;
  std::uint16_t blockAlign;  // 0 means channels × bits / 8
};

// A 44-byte canonical header followed by `data`. The size fields describe
// `data` unless `declaredDataSize` says otherwise.
Bytes MakeWav(const WavFormat& format, const Bytes& data, std::int64_t declaredDataSize = -1);

// `frames` frames of 16-bit mono whose sample k is `k × 7 - 20000`,
// wrapped into range: every frame differs from its neighbours.
Bytes Ramp16(std::uint32_t frames);

// Deterministic noise, so that a dropped, repeated or reordered piece shows.
Bytes NoiseBytes(std::size_t size, std::uint32_t seed);

std::uint32_t Le32At(const Bytes& bytes, std::size_t offset);
std::uint16_t Le16At(const Bytes& bytes, std::size_t offset);

}  // namespace test_support
