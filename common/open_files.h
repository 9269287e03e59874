// Opening files by the host's UTF-16 path, with the checks that keep a bad
// path from destroying data. Each platform implements these in a folder of
// its own; the rest of both libraries sees only this header.
#pragma once

#include <cstdint>

#include "file_stream.h"

namespace common {

// Which file an open stream is, whatever path named it: device and inode on
// POSIX systems, volume serial number and file index on Windows. Two
// streams on the same file have equal identities.
struct FileIdentity {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;

  bool operator==(const FileIdentity&) const = default;
};

// Opens `path` for reading. Fails for a null path, one that is not valid
// UTF-16, a missing or unreadable file, and a directory.
bool OpenFileForReading(const char16_t* path, FileStream& stream, FileIdentity& identity);

// Creates `path`, or truncates it if it exists, for writing. When
// `mustNotBe` is given, a path that names that file (through a hard or
// symbolic link too) is refused before anything is truncated. Fails as
// OpenFileForReading does for paths that name no file.
bool CreateFileForWriting(const char16_t* path, const FileIdentity* mustNotBe, FileStream& stream);

}  // namespace common
