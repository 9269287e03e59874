// The speed effect between two open streams: everything the call does
// after opening its files and before closing them.
#pragma once

#include <cstdint>
#include <optional>

#include "block_resampling.h"
#include "conversion_streams.h"

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

}  // namespace tavrel
