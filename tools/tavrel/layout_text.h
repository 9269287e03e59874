// Words for what the command finds in a source: what keeps the speed effect
// from computing its samples, how its layout differs from the 44-byte one,
// and how to convert it.
#pragma once

#include <optional>
#include <string>

#include "wav_layout.h"

namespace tavrel_tool {

// What the samples are when the speed effect cannot compute them at
// `speed`, e.g. "32-bit float samples"; nothing for 8-, 16-, 24- or 32-bit
// integer PCM. Integer PCM of other widths is computable above 100 and at
// 100, where whole frames are moved, but not below, where samples are
// interpolated.
std::optional<std::string> UncomputableSamples(const WavFormat& format, std::int32_t speed);

// How the file departs from the 44-byte layout, as phrases that follow
// "'data' ...": "past a LIST chunk", "of unknown size (to the end of the
// file)". Empty for a canonical file.
std::string LayoutDifferences(const WavLayout& layout);

// A command line that turns `source` into 16-bit (24-bit for deeper or
// float samples) integer PCM that tavrel reads; for "-", one that does so
// from standard input to standard output.
std::string ConversionAdvice(const std::string& source, unsigned bitsPerSample);

}  // namespace tavrel_tool
