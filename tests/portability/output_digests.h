// Digests of what the speed or tempo effect writes for each portability case, and
// the file they are kept in: one "<digest> <case name>" line per case, in
// hexadecimal, written on x86-64 and compared on every architecture.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "output_cases.h"

namespace portability {

// Runs the exported call on the case's source at each of its speeds, in
// `workDirectory`, and digests every status and every destination byte.
std::uint64_t DigestOutputs(const OutputCase& c, const std::filesystem::path& workDirectory);

using DigestsByName = std::map<std::string, std::uint64_t>;

std::optional<DigestsByName> ReadDigestFile(const std::string& path);
bool WriteDigestFile(const std::string& path, const DigestsByName& digests);

}  // namespace portability
