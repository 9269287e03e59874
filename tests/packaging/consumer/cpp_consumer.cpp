// Links libtavrel and liborlesk from C++ as installed packages: halves the
// length of a WAV file it writes itself, and stops a recording that was never
// started. Usage: cpp_consumer WORK_DIR (an ASCII path).
#include <orlesk.h>
#include <tavrel.h>

#include <array>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kRate = 8000;
constexpr std::uint32_t kFrames = 2048;
constexpr std::size_t kHeaderSize = 44;

void PutLe(std::vector<unsigned char>& bytes, std::uint32_t value, int width) {
  for (int i = 0; i < width; ++i) {
    bytes.push_back(static_cast<unsigned char>((value >> (8 * i)) & 0xFFu));
  }
}

std::uint32_t GetLe32(const std::vector<unsigned char>& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) value |= std::uint32_t{bytes[at + i]} << (8 * i);
  return value;
}

void PutTag(std::vector<unsigned char>& bytes, const char* tag) {
  bytes.insert(bytes.end(), tag, tag + 4);
}

// 16-bit mono at 8 kHz: a falling ramp, so every frame differs.
bool WriteSource(const std::string& path) {
  std::vector<unsigned char> bytes;
  PutTag(bytes, "RIFF");
  PutLe(bytes, kFrames * 2 + 36, 4);
  PutTag(bytes, "WAVE");
  PutTag(bytes, "fmt ");
  PutLe(bytes, 16, 4);
  PutLe(bytes, 1, 2);
  PutLe(bytes, 1, 2);
  PutLe(bytes, kRate, 4);
  PutLe(bytes, kRate * 2, 4);
  PutLe(bytes, 2, 2);
  PutLe(bytes, 16, 2);
  PutTag(bytes, "data");
  PutLe(bytes, kFrames * 2, 4);
  for (std::uint32_t frame = 0; frame < kFrames; ++frame) PutLe(bytes, 0xFFFFu - frame * 8, 2);
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(file);
}

std::optional<std::u16string> Widen(const std::string& narrow) {
  std::u16string wide;
  for (char c : narrow) {
    if (static_cast<unsigned char>(c) > 0x7F) return std::nullopt;
    wide.push_back(static_cast<char16_t>(c));
  }
  return wide;
}

std::vector<unsigned char> ReadAll(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

bool Check(bool condition, const char* what) {
  if (!condition) std::cerr << "cpp_consumer: " << what << '\n';
  return condition;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: cpp_consumer WORK_DIR\n";
    return 2;
  }
  const std::string source = std::string(argv[1]) + "/cpp_source.wav";
  const std::string destination = std::string(argv[1]) + "/cpp_double_speed.wav";
  const auto wide_source = Widen(source);
  const auto wide_destination = Widen(destination);
  if (!Check(WriteSource(source), "cannot write the source WAV") ||
      !Check(wide_source && wide_destination, "the work directory must be an ASCII path")) {
    return 1;
  }

  bool ok = Check(StopRecordingWav() == ORLESK_ERROR_NOT_RECORDING,
                  "StopRecordingWav without a recording did not return ORLESK_ERROR_NOT_RECORDING");
  ok &= Check(ApplySpeedEffectToWav(wide_source->c_str(), wide_destination->c_str(), 200) ==
                  TAVREL_SUCCESS,
              "speed 200 did not return TAVREL_SUCCESS");

  const std::vector<unsigned char> result = ReadAll(destination);
  const std::uint32_t data_size = kFrames / 2 * 2;  // half the frames, two bytes each
  if (Check(result.size() >= kHeaderSize, "the destination has no full header")) {
    ok &= Check(GetLe32(result, 24) == 2 * kRate, "the sample rate was not doubled");
    ok &= Check(GetLe32(result, 40) == data_size, "the frame count was not halved");
    ok &= Check(result.size() == kHeaderSize + data_size, "the file length does not match its header");
  } else {
    ok = false;
  }
  std::cout << "cpp_consumer: " << (ok ? "ok" : "FAILED") << '\n';
  return ok ? 0 : 1;
}
