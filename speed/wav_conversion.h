// The speed effect between two open streams: everything the call does
// after opening its files and before closing them.
#pragma once

#include <cstdint>
#include <optional>

#include "block_resampling.h"
#include "conversion_streams.h"
#include "output_gather.h"
#include "wav_header.h"

namespace tavrel {

// Reads the header and frames from `source`, writes the new file to
// `destination` and returns one of the TAVREL_ statuses of tavrel.h (never
// TAVREL_ERROR_SPEED, which the caller checks before opening anything).
// `sourceBytes`, when known, is the source's whole length: buffers are
// sized to it, but a source that turns out longer or shorter is still
// converted in full. `path` chooses the instructions, for the tests.
std::int32_t ConvertWav(SourceStream& source, DestinationStream& destination, std::int32_t speed,
                        std::optional<std::uint64_t> sourceBytes,
                        VectorPath path = FastestVectorPath());

// The parts the tempo effect shares with the speed effect.

// Reads the 44-byte header: TAVREL_SUCCESS, or the status of a source too
// short for it or a failed read.
std::int32_t ReadSourceHeader(SourceStream& source, wav::WavHeader& header);

FrameLayout ReadFrameLayout(const wav::WavHeader& header);

// Ends a destination whose header went out first and whose frames are
// gathered in `output`: the size fields are set for `dataBytes`, the rest is
// handed on and the header rewritten (or, while everything is still in the
// buffer, set there before the one write).
std::int32_t FinishDestination(wav::WavHeader& header, std::uint64_t dataBytes,
                               OutputGather& output, DestinationStream& destination);

}  // namespace tavrel
