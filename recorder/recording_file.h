// The recording's WAV file: created with a zero-size header when recording
// starts, appended to while it runs, its two size fields patched at stop.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "file_stream.h"

namespace orlesk {

// Creates or truncates `path` as an unbuffered binary stream; an empty
// stream when that fails. Unbuffered, so that what a write reports done is
// what the file holds: after a failed write the file is still a clean
// prefix of the audio and its position is its length. Each write is one
// 100 ms report, so the lack of a buffer costs no system calls worth
// counting.
common::FileStream CreateRecordingFile(const char16_t* path);

// Writes the 44-byte header with both sizes zero, as one item, at the
// stream's position (its start). False when the write failed.
bool WriteWavHeader(std::FILE* stream, std::int32_t sampleRate, std::int32_t bitsPerSample,
                    std::int32_t channels);

// Appends `size` captured bytes; false unless all of them were written.
bool AppendToRecording(std::FILE* stream, const std::uint8_t* bytes, std::size_t size);

// Patches the sizes from the stream's position, which is the file's length
// since everything was appended: offset 4 gets data size + 36 first, then
// offset 40 the data size; a size too large for 32 bits saturates. The
// stream is left open at its end. False when a seek or write failed, or the
// file does not even hold the whole header.
bool FinalizeWavSizes(std::FILE* stream);

}  // namespace orlesk
