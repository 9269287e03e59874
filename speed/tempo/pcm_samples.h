// Packed little-endian PCM samples to plain integers and back.
//
// 8-bit samples are unsigned with 128 as silence; they are centred on 0
// here (value − 128), so that every depth has silence at 0 and the tempo
// change can treat them alike. 16-, 24- and 32-bit samples are signed.
// Bytes are read and written one at a time, so the host's byte order does
// not matter.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tavrel::tempo {

// `count` samples of `bitsPerSample` (8, 16, 24 or 32) from `bytes`.
void DecodePcmSamples(const std::uint8_t* bytes, std::size_t count, std::uint32_t bitsPerSample,
                      std::int32_t* samples);

// `count` samples into `bytes`, each clamped to the depth's range first.
void EncodePcmSamples(const std::int32_t* samples, std::size_t count,
                      std::uint32_t bitsPerSample, std::uint8_t* bytes);

}  // namespace tavrel::tempo
