#include "test_files.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <utility>

namespace test_support {

ScratchFolder::ScratchFolder(Medium medium) {
  std::error_code error;
  const bool inMemory =
      medium == Medium::kMemory && std::filesystem::is_directory("/dev/shm", error);
  const std::filesystem::path parent =
      inMemory ? std::filesystem::path("/dev/shm") : std::filesystem::temp_directory_path();
  // Creating a folder fails if it exists, so a name once created is ours.
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[32];
    std::snprintf(name, sizeof name, "tavrel-test-%08x%08x", random(), random());
    if (std::filesystem::create_directory(parent / name, error)) {
      path_ = parent / name;
      return;
    }
  }
  throw std::runtime_error("cannot create a scratch folder");
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::optional<Bytes> ReadFileIfExists(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    return std::nullopt;
  }
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::set<std::filesystem::path> FileNamesIn(const std::filesystem::path& folder) {
  std::set<std::filesystem::path> names;
  for (const std::filesystem::directory_entry& entry : std::filesystem::directory_iterator(folder)) {
    names.insert(entry.path().filename());
  }
  return names;
}

Bytes ReadWholeFile(const std::filesystem::path& path) {
  std::optional<Bytes> bytes = ReadFileIfExists(path);
  if (!bytes) {
    throw std::runtime_error("cannot read " + path.string());
  }
  return std::move(*bytes);
}

void WriteWholeFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    throw std::runtime_error("cannot write " + path.string());
  }
}

std::u16string Utf16Path(const std::filesystem::path& path) {
  return path.u16string();
}

HostString HostPath(const std::filesystem::path& path) {
#if defined(_WIN32)
  return path.wstring();
#else
  return path.u16string();
#endif
}

namespace {

void PutLe(Bytes& bytes, std::size_t offset, std::uint32_t value, int width) {
  for (int i = 0; i < width; ++i) {
    bytes[offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
  }
}

void PutTag(Bytes& bytes, std::size_t offset, const char* tag) {
  for (std::size_t i = 0; i < 4; ++i) {
    bytes[offset + i] = static_cast<std::uint8_t>(tag[i]);
  }
}

}  // namespace

Bytes MakeWav(const WavFormat& format, const Bytes& data, std::int64_t declaredDataSize) {
  const std::uint32_t blockAlign =
      format.blockAlign != 0 ? format.blockAlign : format.channels * format.bitsPerSample / 8u;
  const auto dataSize = static_cast<std::uint32_t>(
      declaredDataSize >= 0 ? static_cast<std::uint64_t>(declaredDataSize) : data.size());
  Bytes bytes(44 + data.size(), 0);
  PutTag(bytes, 0, "RIFF");
  PutLe(bytes, 4, dataSize + 36, 4);
  PutTag(bytes, 8, "WAVE");
  PutTag(bytes, 12, "fmt ");
  PutLe(bytes, 16, 16, 4);
  PutLe(bytes, 20, 1, 2);
  PutLe(bytes, 22, format.channels, 2);
  PutLe(bytes, 24, format.sampleRate, 4);
  PutLe(bytes, 28, format.sampleRate * blockAlign, 4);
  PutLe(bytes, 32, blockAlign, 2);
  PutLe(bytes, 34, format.bitsPerSample, 2);
  PutTag(bytes, 36, "data");
  PutLe(bytes, 40, dataSize, 4);
  std::copy(data.begin(), data.end(), bytes.begin() + 44);
  return bytes;
}

Bytes Ramp16(std::uint32_t frames) {
  Bytes data(std::size_t{frames} * 2);
  for (std::uint32_t k = 0; k < frames; ++k) {
    const auto value = static_cast<std::uint16_t>((k * 7u + 45536u) % 65536u);  // k × 7 − 20000
    data[2 * k] = static_cast<std::uint8_t>(value);
    data[2 * k + 1] = static_cast<std::uint8_t>(value >> 8);
  }
  return data;
}

Bytes NoiseBytes(std::size_t size, std::uint32_t seed) {
  std::mt19937 random(seed);
  Bytes bytes(size);
  for (std::uint8_t& byte : bytes) {
    byte = static_cast<std::uint8_t>(random() >> 24);
  }
  return bytes;
}

std::uint32_t Le32At(const Bytes& bytes, std::size_t offset) {
  return static_cast<std::uint32_t>(bytes.at(offset)) |
         (static_cast<std::uint32_t>(bytes.at(offset + 1)) << 8) |
         (static_cast<std::uint32_t>(bytes.at(offset + 2)) << 16) |
         (static_cast<std::uint32_t>(bytes.at(offset + 3)) << 24);
}

std::uint16_t Le16At(const Bytes& bytes, std::size_t offset) {
  return static_cast<std::uint16_t>(bytes.at(offset) | (bytes.at(offset + 1) << 8));
}

}  // namespace test_support
