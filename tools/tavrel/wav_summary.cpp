#include "wav_summary.h"

#include <cstdio>
#include <optional>

#include "layout_text.h"

namespace tavrel_tool {

std::string DescribeWav(const WavReading& reading) {
  if (reading.outcome == WavReading::Outcome::kUnopenable) {
    return "cannot be read";
  }
  if (reading.outcome == WavReading::Outcome::kNotWav) {
    return reading.what;
  }
  const WavLayout& layout = reading.layout;
  const WavFormat& format = layout.format;
  const std::uint64_t frames = layout.Frames();
  const double seconds =
      format.sampleRate == 0 ? 0.0 : static_cast<double>(frames) / format.sampleRate;
  char text[160];
  std::snprintf(text, sizeof text, "%u Hz, %u ch, %u bit, %llu frames, %.3f s", format.sampleRate,
                unsigned{format.channels}, unsigned{format.bitsPerSample},
                static_cast<unsigned long long>(frames), seconds);
  // Samples of a kind the speed effect computes at no speed: speed 100
  // moves whole frames and computes nothing.
  const std::optional<std::string> uncomputable = UncomputableSamples(format, 100);
  return uncomputable ? std::string(text) + " (" + *uncomputable + ")" : std::string(text);
}

}  // namespace tavrel_tool
