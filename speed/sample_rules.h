// How interpolated samples are computed for each bit depth.
//
// Each rule reads samples into plain integers, computes a run of results
// from (current, next, fraction) triples, and writes results back. The
// compute step is a simple loop over arrays so that the compiler can use
// vector instructions; every step is still one rounded operation in the
// order written, and the build turns off fused multiply-add, so the result
// is the same bytes on every compiler and architecture. Samples are read
// and written byte by byte, little-endian.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace tavrel::rules {

// 8 bits: unsigned, 128 is silence. The +128 comes after truncation, so a
// centred value of -0.7 becomes 128, not 127; the clamp comes after it.
struct Unsigned8 {
  static constexpr unsigned kWidth = 1;
  using Value = std::int32_t;
  using Fraction = double;
  static Value Read(const std::uint8_t* p) { return p[0]; }
  static void Compute(const Value* cur, const Value* nxt, const Fraction* f, Value* result,
                      std::size_t count) {
    for (std::size_t k = 0; k < count; ++k) {
      const double centred =
          static_cast<double>(nxt[k] - cur[k]) * f[k] + static_cast<double>(cur[k] - 128);
      result[k] = std::clamp(static_cast<std::int32_t>(centred) + 128, 0, 255);
    }
  }
  static void Write(std::uint8_t* p, Value value) { p[0] = static_cast<std::uint8_t>(value); }
};

// 16 bits: signed; the whole rule runs in single precision, the fraction
// included.
struct Signed16 {
  static constexpr unsigned kWidth = 2;
  using Value = std::int32_t;
  using Fraction = float;
  static Value Read(const std::uint8_t* p) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
  }
  static void Compute(const Value* cur, const Value* nxt, const Fraction* f, Value* result,
                      std::size_t count) {
    for (std::size_t k = 0; k < count; ++k) {
      const float sum = static_cast<float>(nxt[k] - cur[k]) * f[k] + static_cast<float>(cur[k]);
      result[k] = std::clamp(static_cast<std::int32_t>(sum), -32768, 32767);
    }
  }
  static void Write(std::uint8_t* p, Value value) {
    p[0] = static_cast<std::uint8_t>(value);
    p[1] = static_cast<std::uint8_t>(value >> 8);
  }
};

// 24 bits: signed, sign-extended from bit 23.
struct Signed24 {
  static constexpr unsigned kWidth = 3;
  using Value = std::int32_t;
  using Fraction = double;
  static Value Read(const std::uint8_t* p) {
    const std::uint32_t raw = std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16);
    return static_cast<std::int32_t>(raw ^ 0x800000u) - 0x800000;
  }
  static void Compute(const Value* cur, const Value* nxt, const Fraction* f, Value* result,
                      std::size_t count) {
    for (std::size_t k = 0; k < count; ++k) {
      const double sum = static_cast<double>(nxt[k] - cur[k]) * f[k] + static_cast<double>(cur[k]);
      result[k] = std::clamp(static_cast<std::int32_t>(sum), -8388608, 8388607);
    }
  }
  static void Write(std::uint8_t* p, Value value) {
    p[0] = static_cast<std::uint8_t>(value);
    p[1] = static_cast<std::uint8_t>(value >> 8);
    p[2] = static_cast<std::uint8_t>(value >> 16);
  }
};

// 32 bits: signed. The difference is taken exactly, in 64 bits, so samples
// more than 2^31 apart interpolate correctly instead of wrapping; the sum
// then always lies between the two samples and fits 32 bits.
struct Signed32 {
  static constexpr unsigned kWidth = 4;
  using Value = std::int64_t;
  using Fraction = double;
  static Value Read(const std::uint8_t* p) {
    return static_cast<std::int32_t>(
        static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
        (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24));
  }
  static void Compute(const Value* cur, const Value* nxt, const Fraction* f, Value* result,
                      std::size_t count) {
    for (std::size_t k = 0; k < count; ++k) {
      const double sum = static_cast<double>(nxt[k] - cur[k]) * f[k] + static_cast<double>(cur[k]);
      result[k] = static_cast<std::int32_t>(sum);
    }
  }
  static void Write(std::uint8_t* p, Value value) {
    const auto bits = static_cast<std::uint32_t>(value);
    p[0] = static_cast<std::uint8_t>(bits);
    p[1] = static_cast<std::uint8_t>(bits >> 8);
    p[2] = static_cast<std::uint8_t>(bits >> 16);
    p[3] = static_cast<std::uint8_t>(bits >> 24);
  }
};

}  // namespace tavrel::rules
