// Waiting out a recording: until the time limit passes or SIGINT / SIGTERM
// arrives, with a progress line on a terminal.
#pragma once

#include <optional>
#include <string>

namespace orlesk_tool {

// Blocks SIGINT and SIGTERM in the calling thread, so they queue up for
// WaitForEndOfRecording instead of killing the process mid-recording. Call
// before the recording starts (and before any other thread does).
void HoldTerminationSignals();

// Returns once `seconds` have passed (never, without a limit) or a held
// signal arrived. When `progress` is set, redraws "elapsed, bytes" on
// stderr about five times a second; the byte count is the size of
// `outputPath` past its header.
void WaitForEndOfRecording(std::optional<double> seconds, const std::string& outputPath,
                           bool progress);

}  // namespace orlesk_tool
