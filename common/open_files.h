// Opening files by the host's UTF-16 path, with the checks that keep a bad
// path from destroying data or blocking the caller. Each platform
// implements these in a folder of its own; the rest of both libraries sees
// only this header.
//
// No open waits: a FIFO without a writer opens for reading at once (and
// reads as empty), a FIFO without a reader cannot be opened for writing,
// and no device gets the chance to wait for a carrier or a tape.
#pragma once

#include <cstdint>

#include "file_stream.h"
#include "positioned_file.h"

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
// OpenFileForReading does for paths that name no file, and for a FIFO
// that no process reads.
bool CreateFileForWriting(const char16_t* path, const FileIdentity* mustNotBe, FileStream& stream);

// Opens `path` as a regular file written at explicit offsets, for one
// writer at a time: while `file` is open, this call fails for the same file
// (under any path) in this process and in every other. Readers are not held
// up. A missing file is created, and `created` says so; an existing one is
// left exactly as it was (SetSize empties it). Anything else (a FIFO, a
// device, a directory, a socket) is refused before it is opened where the
// path shows what it is, and in any case before anything is written.
bool OpenRegularFileForOneWriter(const char16_t* path, PositionedFile& file, bool& created);

// Closes `file`, which OpenRegularFileForOneWriter created at `path`, and
// removes it, if the path still names it.
void CloseAndRemove(const char16_t* path, PositionedFile& file);

// What has become of the regular file opened from `path` as `file`.
enum class FileAtPath {
  kInPlace,    // the path names it, and it holds at least the bytes expected
  kShortened,  // it holds fewer: someone truncated it
  kGone,       // the path names another file or none: replaced, moved or removed
};
// Where the path cannot be looked at for another reason (no permission,
// an I/O error), the file is taken to be in place: only what is known to
// have happened counts.
FileAtPath CheckFileAtPath(const char16_t* path, const PositionedFile& file,
                           std::uint64_t expectedSize);

}  // namespace common
