// The fixed set of inputs whose speed-effect and tempo-effect outputs must
// be byte-identical on every architecture: every bit depth the
// interpolation knows and some it does not, 1 to 8 channels, frames with
// and without padding bytes, and speeds from 1 to 1000.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace portability {

struct OutputCase {
  std::uint16_t bits;
  std::uint16_t channels;
  std::uint16_t blockAlign;  // larger than channels × sample bytes when padded
  std::uint32_t frames;      // a trailing partial frame follows them
  bool everySpeed;           // 1 … 1000, else a spread across that range
  bool tempo = false;        // ApplyTempoEffectToWav, at a spread of its own

  // A stable name, the key of the digest file.
  std::string Name() const;
  std::vector<std::int32_t> Speeds() const;
};

std::vector<OutputCase> AllOutputCases();

// The source file of a case: a 44-byte header and pseudo-random frames
// with full-scale extremes among them.
std::vector<std::uint8_t> MakeSourceWav(const OutputCase& c);

}  // namespace portability
