// WAV files built chunk by chunk, for the layouts no peer tool writes on
// demand: odd-sized chunks with and without their pad byte, placeholder
// sizes, RF64, damaged files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "test_files.h"

namespace riff_images {

using test_support::Bytes;

// `id`, the size of `body` (or `declaredSize`), `body`, and the pad byte
// after a body of odd length unless `pad` is false.
Bytes Chunk(const std::string& id, const Bytes& body,
            std::optional<std::uint32_t> declaredSize = std::nullopt, bool pad = true);

// The 16 bytes of a plain 'fmt ' chunk; block align and byte rate follow
// from the others.
Bytes FormatBody(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits);

// The 40 bytes of a WAVE_FORMAT_EXTENSIBLE 'fmt ' chunk with a standard
// subformat GUID for `subformat` (1 integer PCM, 3 float).
Bytes ExtensibleFormatBody(std::uint16_t subformat, std::uint16_t channels, std::uint32_t rate,
                           std::uint16_t bits);

// `riffId` ("RIFF", "RF64"), the RIFF size, "WAVE", then the chunks.
Bytes RiffFile(const std::vector<Bytes>& chunks, const std::string& riffId = "RIFF");

Bytes Concat(const std::vector<Bytes>& parts);

}  // namespace riff_images
