// Helpers of the recorder's tests, next to the project's test_support ones.
#pragma once

#include <cstddef>
#include <filesystem>
#include <vector>

#include "commands.h"
#include "test_files.h"

namespace recorder_test {

// The file's bytes after the 44-byte header.
test_support::Bytes AudioOf(const test_support::Bytes& file);

// Waits until the file holds at least `bytes` of audio; false after 10 s.
bool WaitForAudio(const std::filesystem::path& path, std::size_t bytes);

// Checks that the file is a finished recording: its sizes match its length
// in whole frames. Returns its audio.
test_support::Bytes ExpectFinishedRecording(const std::filesystem::path& path,
                                            unsigned frameBytes);

// Checks that a finished recording's audio is the start of `input` in
// whole frames of `frameBytes`. Returns the audio size.
std::size_t ExpectFinishedPrefix(const std::filesystem::path& path,
                                 const std::vector<std::uint8_t>& input, unsigned frameBytes);

}  // namespace recorder_test
