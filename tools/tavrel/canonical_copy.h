// The canonical copy that the library is given when a source keeps its
// samples in another layout: the 44-byte header and the data chunk's bytes,
// nothing else.
#pragma once

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include "wav_layout.h"

namespace tavrel_tool {

// Writes to `out` the 44-byte header of `layout`'s format (its fields as
// declared, format tag 1, sizes of the data) and then the data chunk of
// `source`, byte for byte, streamed. Returns what failed, or nothing.
std::optional<std::string> WriteCanonicalCopy(const std::filesystem::path& source,
                                              const WavLayout& layout, std::FILE* out);

}  // namespace tavrel_tool
