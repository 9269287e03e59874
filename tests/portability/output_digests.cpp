#include "output_digests.h"

#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

#include "fnv1a.h"
#include "tavrel.h"

namespace portability {
namespace {

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::u16string Wide(const std::string& path) { return {path.begin(), path.end()}; }

}  // namespace

std::uint64_t DigestOutputs(const OutputCase& c, const std::string& workDirectory) {
  const std::string source = workDirectory + "/source.wav";
  const std::string destination = workDirectory + "/destination.wav";
  const std::vector<std::uint8_t> wav = MakeSourceWav(c);
  std::ofstream(source, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(wav.data()), static_cast<std::streamsize>(wav.size()));

  Fnv1a64 digest;
  for (const std::int32_t speed : c.Speeds()) {
    const std::int32_t status =
        ApplySpeedEffectToWav(Wide(source).c_str(), Wide(destination).c_str(), speed);
    const std::vector<std::uint8_t> output = ReadBytes(destination);
    digest.AddInteger(speed);
    digest.AddInteger(status);
    digest.AddInteger(static_cast<std::int64_t>(output.size()));
    digest.Add(output);
  }
  return digest.value();
}

std::optional<DigestsByName> ReadDigestFile(const std::string& path) {
  std::ifstream file(path);
  if (!file) {
    return std::nullopt;
  }
  DigestsByName digests;
  std::string line;
  while (std::getline(file, line)) {
    if (line.empty() || line.front() == '#') {
      continue;
    }
    std::istringstream fields(line);
    std::string hex;
    std::string name;
    if (!(fields >> hex) || !std::getline(fields >> std::ws, name)) {
      return std::nullopt;
    }
    digests[name] = std::stoull(hex, nullptr, 16);
  }
  return digests;
}

bool WriteDigestFile(const std::string& path, const DigestsByName& digests) {
  std::ofstream file(path, std::ios::trunc);
  file << "# FNV-1a 64 of every status and output byte of the speed effect per case,\n"
          "# written on x86-64 by: speed_output_digests_test --write-digests=FILE\n";
  for (const auto& [name, digest] : digests) {
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016" PRIx64, digest);
    file << hex << ' ' << name << '\n';
  }
  return static_cast<bool>(file);
}

}  // namespace portability
