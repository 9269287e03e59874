// Waiting out a recording: until the file holds the audio asked for, or
// SIGINT / SIGTERM / SIGHUP arrives, or the file can take no more or is no
// longer there to take it, with a progress line on a terminal.
#pragma once

#include <cstdint>
#include <optional>

#include "file_watch.h"
#include "recording_length.h"

namespace orlesk_tool {

// Blocks SIGINT, SIGTERM and SIGHUP in the calling thread, so they queue up
// for WaitForEndOfRecording instead of killing the process mid-recording
// (a closed terminal or a dropped ssh session included). Call before the
// recording starts (and before any other thread does).
void HoldTerminationSignals();

// Returns once the watched file holds `length` of audio (never, without a
// length) or `limitBytes` (the most its header can declare), once a held
// signal arrived, or as soon as the file was removed, replaced or
// truncated. Should the device stop delivering, it returns once the
// length's time has passed and the file has not grown for a while. When
// `progress` is set, redraws "elapsed, bytes" on stderr about five times a
// second.
void WaitForEndOfRecording(const std::optional<RecordingLength>& length, std::uint64_t limitBytes,
                           FileWatch& file, bool progress);

}  // namespace orlesk_tool
