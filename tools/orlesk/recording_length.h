// How long a timed recording is: --seconds N means N seconds of audio,
// rate × N frames, as arecord -d counts them, however fast the device
// delivers. The command waits until the file holds that much, then cuts
// off what the stop added past it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace orlesk_tool {

struct RecordingLength {
  double seconds = 0;
  std::uint64_t frames = 0;
  std::uint32_t frameBytes = 1;
  std::uint64_t dataBytes() const { return frames * frameBytes; }
};

// The most audio a WAV header's 32-bit sizes can declare, in whole frames
// of `frameBytes`: where the recorder ends a recording that runs that long.
std::uint64_t LargestDataBytes(std::uint32_t frameBytes);

// The length of `seconds` at this format: rate × seconds frames, rounded
// to the nearest. Nothing when that is not at least one frame or more than
// the 32-bit size fields of a WAV header can describe; `why` then says so.
std::optional<RecordingLength> LengthOf(double seconds, std::int32_t rate, std::int32_t bits,
                                        std::string& why);

// Cuts the finished recording at `path` to `length` if it holds more, and
// writes the header's sizes to match. False when that failed.
bool CutRecordingTo(const std::string& path, const RecordingLength& length);

}  // namespace orlesk_tool
