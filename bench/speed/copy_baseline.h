// What any speed change of a file must do at least, timed beside the speed
// effect: read the whole source and write as many bytes as the effect's
// output has, with plain system calls.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace bench {

// Opens `source` (`sourceBytes` long), creates `destination`, reads the
// source a chunk at a time into `chunk` and writes `outputBytes` in step
// with the reading, then closes both. False when a call fails.
bool CopyLikeTheEffect(const std::filesystem::path& source, std::uint64_t sourceBytes,
                       const std::filesystem::path& destination, std::uint64_t outputBytes,
                       std::vector<char>& chunk);

}  // namespace bench
