// tempo_wav SOURCE DEST SPEED: ApplyTempoEffectToWav on two files, as a
// host calls it, for the quality and speed report. Prints nothing on
// success; the exit status is 0 or the library's status.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tavrel.h"

namespace {

// A UTF-8 argument as the UTF-16 the library takes.
std::u16string Utf16(const char* path) {
  return std::filesystem::path(std::u8string(reinterpret_cast<const char8_t*>(path))).u16string();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: tempo_wav SOURCE DEST SPEED\n");
    return 1;
  }
  const long speed = std::strtol(argv[3], nullptr, 10);
  const std::int32_t status =
      ApplyTempoEffectToWav(Utf16(argv[1]).c_str(), Utf16(argv[2]).c_str(),
                            static_cast<std::int32_t>(speed));
  if (status != TAVREL_SUCCESS) {
    std::fprintf(stderr, "tempo_wav: %s\n", TavrelStatusMessage(status));
    return status;
  }
  return 0;
}
