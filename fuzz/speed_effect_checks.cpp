// What the speed effect must make of a source, checked down to every frame
// whose value does not depend on interpolation arithmetic. Shared by the
// fuzz target on the exported call and the one on the conversion between
// streams in memory.
#include "speed_effect_checks.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "fuzz_check.h"
#include "tavrel.h"

namespace fuzz {

namespace {

constexpr std::size_t kHeaderBytes = 44;
constexpr std::uint64_t kFramesPerBlock = 1024;


std::uint32_t Le16(ByteView bytes, std::size_t offset) {
  return static_cast<std::uint32_t>(bytes[offset]) |
         (static_cast<std::uint32_t>(bytes[offset + 1]) << 8);
}

std::uint32_t Le32(ByteView bytes, std::size_t offset) {
  return Le16(bytes, offset) | (Le16(bytes, offset + 2) << 16);
}

void PutLe32(Bytes& bytes, std::size_t offset, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) {
    bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
  }
}

struct Layout {
  std::uint32_t channels;
  std::uint32_t blockAlign;
  std::uint32_t bits;

  std::uint32_t sampleWidth() const { return bits / 8; }
  bool samplesFit() const { return blockAlign >= channels * sampleWidth(); }
  bool interpolated() const { return bits == 8 || bits == 16 || bits == 24 || bits == 32; }
};

// An unsigned 32-bit rate field times speed / 100, or nothing when the
// result does not fit 32 bits.
std::optional<std::uint32_t> ScaledRate(ByteView header, std::size_t offset, std::int32_t speed) {
  const std::uint64_t scaled =
      std::uint64_t{Le32(header, offset)} * static_cast<std::uint64_t>(speed) / 100;
  if (scaled > std::numeric_limits<std::uint32_t>::max()) {
    return std::nullopt;
  }
  return static_cast<std::uint32_t>(scaled);
}

// The sample of `width` bytes at `at`, as the interpolation reads it.
std::int64_t SampleValue(const std::uint8_t* at, std::uint32_t width) {
  std::uint32_t raw = 0;
  for (std::uint32_t i = 0; i < width; ++i) {
    raw |= static_cast<std::uint32_t>(at[i]) << (8 * i);
  }
  switch (width) {
    case 1: return raw;  // unsigned, 128 is silence
    case 2: return static_cast<std::int16_t>(static_cast<std::uint16_t>(raw));
    case 3: return static_cast<std::int64_t>(raw ^ 0x800000u) - 0x800000;
    default: return static_cast<std::int32_t>(raw);
  }
}

// A stretched frame: each computed sample lies between the two source
// samples it is interpolated from, and every byte no rule computes is zero.
void CheckStretchedFrame(const std::uint8_t* out, const std::uint8_t* cur, const std::uint8_t* nxt,
                         const Layout& layout) {
  const std::uint32_t width = layout.sampleWidth();
  const std::uint32_t computedBytes = layout.interpolated() ? layout.channels * width : 0;
  for (std::uint32_t c = 0; c < layout.channels && computedBytes > 0; ++c) {
    const std::int64_t a = SampleValue(cur + c * width, width);
    const std::int64_t b = SampleValue(nxt + c * width, width);
    const std::int64_t value = SampleValue(out + c * width, width);
    FUZZ_CHECK(value >= std::min(a, b) && value <= std::max(a, b));
  }
  FUZZ_CHECK(std::all_of(out + computedBytes, out + layout.blockAlign,
                         [](std::uint8_t byte) { return byte == 0; }));
}

// Checks the frames one block of `frames` source frames turned into, and
// returns how many there are.
std::uint64_t CheckBlock(const std::uint8_t* in, std::uint64_t frames, const std::uint8_t* out,
                         std::uint64_t outFramesAvailable, const Layout& layout,
                         std::int32_t speed) {
  const std::size_t width = layout.blockAlign;
  const std::uint64_t step = static_cast<std::uint64_t>(speed);
  const std::uint64_t count = speed == 100 ? frames : frames * 100 / step;
  FUZZ_CHECK(count <= outFramesAvailable);
  for (std::uint64_t i = 0; i < count; ++i) {
    const std::uint8_t* frame = out + i * width;
    const std::uint64_t source = i * step / 100;
    if (speed >= 100) {
      FUZZ_CHECK(std::equal(frame, frame + width, in + source * width));
    } else {
      const std::uint64_t next = source + 1 < frames ? source + 1 : source;
      CheckStretchedFrame(frame, in + source * width, in + next * width, layout);
    }
  }
  // A block starts again at position 0: its first frame is copied exactly.
  if (count > 0 && speed < 100 && layout.interpolated()) {
    const std::size_t samples = std::size_t{layout.channels} * layout.sampleWidth();
    FUZZ_CHECK(std::equal(out, out + samples, in));
  }
  return count;
}

void CheckCompleteDestination(ByteView source, ByteView destination, const Layout& layout,
                              std::int32_t speed) {
  FUZZ_CHECK(destination.size() >= kHeaderBytes);
  const std::uint64_t dataSize = Le32(destination, 40);
  FUZZ_CHECK(Le32(destination, 4) == dataSize + 36);
  FUZZ_CHECK(destination.size() == kHeaderBytes + dataSize);

  Bytes expectedHeader(source.begin(), source.begin() + kHeaderBytes);
  PutLe32(expectedHeader, 24, *ScaledRate(source, 24, speed));
  PutLe32(expectedHeader, 28, *ScaledRate(source, 28, speed));
  PutLe32(expectedHeader, 40, static_cast<std::uint32_t>(dataSize));
  PutLe32(expectedHeader, 4, static_cast<std::uint32_t>(dataSize + 36));
  FUZZ_CHECK(std::equal(expectedHeader.begin(), expectedHeader.end(), destination.begin()));

  // Whole frames only: a trailing piece shorter than a frame is dropped.
  const std::uint64_t sourceFrames =
      layout.blockAlign == 0 ? 0 : (source.size() - kHeaderBytes) / layout.blockAlign;
  std::uint64_t written = 0;
  for (std::uint64_t first = 0; first < sourceFrames; first += kFramesPerBlock) {
    const std::uint64_t frames = std::min(kFramesPerBlock, sourceFrames - first);
    const std::uint64_t available =
        layout.blockAlign == 0 ? 0 : (destination.size() - kHeaderBytes) / layout.blockAlign - written;
    written += CheckBlock(source.data() + kHeaderBytes + first * layout.blockAlign, frames,
                          destination.data() + kHeaderBytes + written * layout.blockAlign,
                          available, layout, speed);
  }
  FUZZ_CHECK(written * layout.blockAlign == dataSize);
}

}  // namespace

void CheckSpeedEffectOutcome(ByteView source, std::int32_t speed, std::int32_t status,
                             const std::optional<Bytes>& destination) {
  if (speed < 1) {
    FUZZ_CHECK(status == TAVREL_ERROR_SPEED);
    FUZZ_CHECK(!destination.has_value());
    return;
  }
  FUZZ_CHECK(destination.has_value());
  if (source.size() < kHeaderBytes) {
    FUZZ_CHECK(status == TAVREL_ERROR_SHORT_HEADER);
    FUZZ_CHECK(destination->empty());
    return;
  }
  const Layout layout{Le16(source, 22), Le16(source, 32), Le16(source, 34)};
  const std::optional<std::uint32_t> sampleRate = ScaledRate(source, 24, speed);
  const bool unsupported = (speed < 100 && !layout.samplesFit()) || !sampleRate ||
                           *sampleRate == 0 || !ScaledRate(source, 28, speed);
  if (unsupported) {
    FUZZ_CHECK(status == TAVREL_ERROR_UNSUPPORTED);
    FUZZ_CHECK(destination->empty());
    return;
  }
  if (status != TAVREL_SUCCESS) {
    std::fprintf(stderr, "unexpected status %d\n", static_cast<int>(status));
  }
  FUZZ_CHECK(status == TAVREL_SUCCESS);
  CheckCompleteDestination(source, *destination, layout, speed);
}



}  // namespace fuzz
