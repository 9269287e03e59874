#include "paced_device.h"

#include <cmath>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace paced_device {

namespace {

// A double-quoted alsa-lib configuration string.
std::string Quoted(const std::string& text) {
  std::string quoted = "\"";
  for (const char character : text) {
    if (character == '"' || character == '\\') {
      quoted += '\\';
    }
    quoted += character;
  }
  return quoted + '"';
}

// Speed as the plugin reads it: a plain decimal with three decimals.
std::string SpeedText(double speed) {
  const double thousandths = std::round(speed * 1000);
  if (!std::isfinite(speed) || std::fabs(speed * 1000 - thousandths) > 1e-6 ||
      thousandths < 1 || thousandths > 1000000) {
    throw std::invalid_argument("speed must be whole thousandths from 0.001 to 1000");
  }
  const auto whole = static_cast<unsigned long>(thousandths);
  std::ostringstream text;
  text << whole / 1000 << '.';
  text.width(3);
  text.fill('0');
  text << whole % 1000;
  return text.str();
}

}  // namespace

std::filesystem::path WritePacedDeviceConfig(const std::filesystem::path& folder,
                                             const std::filesystem::path& plugin,
                                             const PacedDeviceOptions& options) {
  std::ostringstream text;
  text << "pcm_type.paced {\n  lib " << Quoted(plugin.string()) << "\n}\n";
  text << "pcm.!" << options.pcmName << " {\n  type paced\n";
  if (!options.file.empty()) {
    text << "  file " << Quoted(options.file.string()) << "\n";
    text << "  offset " << options.offset << "\n";
    text << "  loop " << (options.loop ? "true" : "false") << "\n";
  }
  text << "  speed " << SpeedText(options.speed) << "\n";
  if (options.failAfterFrames) {
    text << "  fail_after_frames " << *options.failAfterFrames << "\n";
  }
  if (options.wakeUntilFrames) {
    text << "  wake_until_frames " << *options.wakeUntilFrames << "\n";
  }
  if (!options.lock.empty()) {
    text << "  lock " << Quoted(options.lock.string()) << "\n";
  }
  if (!options.report.empty()) {
    text << "  report " << Quoted(options.report.string()) << "\n";
  }
  text << "}\n";

  const std::filesystem::path config = folder / "asound.conf";
  std::ofstream file(config, std::ios::binary | std::ios::trunc);
  file << text.str();
  file.close();
  if (!file) {
    throw std::runtime_error("cannot write " + config.string());
  }
  return config;
}

std::optional<PacedDeviceReport> ReadPacedDeviceReport(const std::filesystem::path& report) {
  std::ifstream file(report);
  if (!file) {
    return std::nullopt;
  }
  PacedDeviceReport counters;
  int found = 0;
  std::string key;
  std::uint64_t value = 0;
  while (file >> key >> value) {
    if (key == "frames_arrived") {
      counters.framesArrived = value;
    } else if (key == "frames_read") {
      counters.framesRead = value;
    } else if (key == "frames_lost") {
      counters.framesLost = value;
    } else if (key == "overruns") {
      counters.overruns = value;
    } else {
      continue;
    }
    ++found;
  }
  if (found != 4) {
    return std::nullopt;
  }
  return counters;
}

std::vector<std::uint8_t> CounterFrames(std::uint64_t first, std::size_t count,
                                        unsigned frameBytes) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(count * frameBytes);
  for (std::uint64_t number = first; number < first + count; ++number) {
    for (unsigned byte = 0; byte < frameBytes; ++byte) {
      bytes.push_back(static_cast<std::uint8_t>(byte < 8 ? number >> (8 * byte) : 0));
    }
  }
  return bytes;
}

std::uint64_t CounterOf(const std::vector<std::uint8_t>& frames, std::size_t index,
                        unsigned frameBytes) {
  std::uint64_t number = 0;
  for (unsigned byte = 0; byte < frameBytes && byte < 8; ++byte) {
    number |= std::uint64_t{frames.at(index * frameBytes + byte)} << (8 * byte);
  }
  return number;
}

}  // namespace paced_device
