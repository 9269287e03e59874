// How one interpolated sample is computed for each bit depth.
//
// Every step is one rounded operation in the order written; the build turns
// off fused multiply-add, so the result is the same bytes on every compiler
// and architecture. Samples are read and written byte by byte,
// little-endian.
#pragma once

#include <algorithm>
#include <cstdint>

namespace speed::rules {

// 8 bits: unsigned, 128 is silence. The +128 comes after truncation, so a
// centred value of -0.7 becomes 128, not 127.
struct Unsigned8 {
  static constexpr unsigned kWidth = 1;
  static void Interpolate(const std::uint8_t* cur, const std::uint8_t* nxt,
                          double f, std::uint8_t* out) {
    const std::int32_t c = cur[0];
    const std::int32_t n = nxt[0];
    const double centred = static_cast<double>(n - c) * f + static_cast<double>(c - 128);
    const std::int32_t value = static_cast<std::int32_t>(centred) + 128;
    out[0] = static_cast<std::uint8_t>(std::clamp(value, 0, 255));
  }
};

// 16 bits: signed; the whole rule runs in single precision.
struct Signed16 {
  static constexpr unsigned kWidth = 2;
  static std::int32_t Read(const std::uint8_t* p) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
  }
  static void Interpolate(const std::uint8_t* cur, const std::uint8_t* nxt,
                          double f, std::uint8_t* out) {
    const std::int32_t c = Read(cur);
    const std::int32_t n = Read(nxt);
    const float sum = static_cast<float>(n - c) * static_cast<float>(f) + static_cast<float>(c);
    const std::int32_t value = std::clamp(static_cast<std::int32_t>(sum), -32768, 32767);
    out[0] = static_cast<std::uint8_t>(value);
    out[1] = static_cast<std::uint8_t>(value >> 8);
  }
};

// 24 bits: signed, sign-extended from bit 23.
struct Signed24 {
  static constexpr unsigned kWidth = 3;
  static std::int32_t Read(const std::uint8_t* p) {
    const std::uint32_t raw = p[0] | (p[1] << 8) | (static_cast<std::uint32_t>(p[2]) << 16);
    return static_cast<std::int32_t>(raw ^ 0x800000u) - 0x800000;
  }
  static void Interpolate(const std::uint8_t* cur, const std::uint8_t* nxt,
                          double f, std::uint8_t* out) {
    const std::int32_t c = Read(cur);
    const std::int32_t n = Read(nxt);
    const double sum = static_cast<double>(n - c) * f + static_cast<double>(c);
    const std::int32_t value = std::clamp(static_cast<std::int32_t>(sum), -8388608, 8388607);
    out[0] = static_cast<std::uint8_t>(value);
    out[1] = static_cast<std::uint8_t>(value >> 8);
    out[2] = static_cast<std::uint8_t>(value >> 16);
  }
};

// 32 bits: signed. The difference is taken exactly (in 64 bits), so samples
// more than 2^31 apart interpolate correctly instead of wrapping; the sum
// then always lies between the two samples and fits 32 bits.
struct Signed32 {
  static constexpr unsigned kWidth = 4;
  static std::int32_t Read(const std::uint8_t* p) {
    return static_cast<std::int32_t>(
        static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
        (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24));
  }
  static void Interpolate(const std::uint8_t* cur, const std::uint8_t* nxt,
                          double f, std::uint8_t* out) {
    const std::int64_t c = Read(cur);
    const std::int64_t n = Read(nxt);
    const double sum = static_cast<double>(n - c) * f + static_cast<double>(c);
    const auto value = static_cast<std::uint32_t>(static_cast<std::int32_t>(sum));
    out[0] = static_cast<std::uint8_t>(value);
    out[1] = static_cast<std::uint8_t>(value >> 8);
    out[2] = static_cast<std::uint8_t>(value >> 16);
    out[3] = static_cast<std::uint8_t>(value >> 24);
  }
};

}  // namespace speed::rules
