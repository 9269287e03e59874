// Files for the fuzz targets and the replay driver: a private directory per
// process (in /dev/shm when there is one, so fuzzing does not wear a disk)
// and whole-file reads and writes.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace fuzz {

// The path of `name` inside this process's scratch directory, which is
// created on first use and removed, with the files in it, at exit.
std::string ScratchPath(const std::string& name);

// The UTF-16 form of a path made of ASCII characters, as the host passes it.
std::u16string WidePath(const std::string& asciiPath);

void WriteWholeFile(const std::string& path, std::span<const std::uint8_t> bytes);

// Every byte of the file, or nothing when it does not exist.
std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& path);

}  // namespace fuzz
