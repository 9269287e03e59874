#include "pcm_samples.h"

#include <algorithm>

namespace tavrel::tempo {

void DecodePcmSamples(const std::uint8_t* bytes, std::size_t count, std::uint32_t bitsPerSample,
                      std::int32_t* samples) {
  switch (bitsPerSample) {
    case 8:
      for (std::size_t i = 0; i < count; ++i) {
        samples[i] = std::int32_t{bytes[i]} - 128;
      }
      break;
    case 16:
      for (std::size_t i = 0; i < count; ++i, bytes += 2) {
        samples[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8));
      }
      break;
    case 24:
      for (std::size_t i = 0; i < count; ++i, bytes += 3) {
        const std::uint32_t raw = std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 |
                                  std::uint32_t{bytes[2]} << 16;
        // Sign-extended from bit 23.
        samples[i] = static_cast<std::int32_t>(raw ^ 0x800000u) - 0x800000;
      }
      break;
    case 32:
      for (std::size_t i = 0; i < count; ++i, bytes += 4) {
        samples[i] = static_cast<std::int32_t>(
            std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 |
            std::uint32_t{bytes[2]} << 16 | std::uint32_t{bytes[3]} << 24);
      }
      break;
    default:
      break;
  }
}

void EncodePcmSamples(const std::int32_t* samples, std::size_t count,
                      std::uint32_t bitsPerSample, std::uint8_t* bytes) {
  switch (bitsPerSample) {
    case 8:
      for (std::size_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<std::uint8_t>(std::clamp(samples[i], -128, 127) + 128);
      }
      break;
    case 16:
      for (std::size_t i = 0; i < count; ++i, bytes += 2) {
        const auto value = static_cast<std::uint32_t>(std::clamp(samples[i], -32768, 32767));
        bytes[0] = static_cast<std::uint8_t>(value);
        bytes[1] = static_cast<std::uint8_t>(value >> 8);
      }
      break;
    case 24:
      for (std::size_t i = 0; i < count; ++i, bytes += 3) {
        const auto value = static_cast<std::uint32_t>(std::clamp(samples[i], -8388608, 8388607));
        bytes[0] = static_cast<std::uint8_t>(value);
        bytes[1] = static_cast<std::uint8_t>(value >> 8);
        bytes[2] = static_cast<std::uint8_t>(value >> 16);
      }
      break;
    case 32:
      for (std::size_t i = 0; i < count; ++i, bytes += 4) {
        const auto value = static_cast<std::uint32_t>(samples[i]);
        bytes[0] = static_cast<std::uint8_t>(value);
        bytes[1] = static_cast<std::uint8_t>(value >> 8);
        bytes[2] = static_cast<std::uint8_t>(value >> 16);
        bytes[3] = static_cast<std::uint8_t>(value >> 24);
      }
      break;
    default:
      break;
  }
}

}  // namespace tavrel::tempo
