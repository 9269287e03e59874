// The tempo effect between two open streams: the header and file rules of
// the speed effect, the frames changed by the tempo change of speed/tempo.
#pragma once

#include <cstdint>
#include <optional>

#include "conversion_streams.h"

namespace tavrel {

// Reads the header and frames from `source`, writes the new file to
// `destination` and returns one of the TAVREL_ statuses of tavrel.h (never
// TAVREL_ERROR_SPEED, which the caller checks before opening anything). The
// header keeps its rates; the frames become TempoOutputFrames(N, speed). At
// 100 the result is the speed effect's at 100: the frames copied as they
// are. `sourceBytes` sizes the buffers, as for ConvertWav.
std::int32_t ConvertWavTempo(SourceStream& source, DestinationStream& destination,
                             std::int32_t speed, std::optional<std::uint64_t> sourceBytes);

}  // namespace tavrel
