#include "output_digests.h"

#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

#include "fnv1a.h"
#include "tavrel.h"
#include "test_files.h"

namespace portability {
namespace {

}  // namespace

std::uint64_t DigestOutputs(const OutputCase& c, const std::filesystem::path& workDirectory) {
  const std::filesystem::path source = workDirectory / "source.wav";
  const std::filesystem::path destination = workDirectory / "destination.wav";
  test_support::WriteWholeFile(source, MakeSourceWav(c));
  const test_support::HostString wideSource = test_support::HostPath(source);
  const test_support::HostString wideDestination = test_support::HostPath(destination);

  Fnv1a64 digest;
  for (const std::int32_t speed : c.Speeds()) {
    const auto apply = c.tempo ? ApplyTempoEffectToWav : ApplySpeedEffectToWav;
    const std::int32_t status = apply(wideSource.c_str(), wideDestination.c_str(), speed);
    const std::vector<std::uint8_t> output = test_support::ReadWholeFile(destination);
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
  file << "# FNV-1a 64 of every status and output byte of the speed or tempo effect per case,\n"
          "# written on x86-64 by: speed_output_digests_test --write-digests=FILE\n";
  for (const auto& [name, digest] : digests) {
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016" PRIx64, digest);
    file << hex << ' ' << name << '\n';
  }
  return static_cast<bool>(file);
}

}  // namespace portability
