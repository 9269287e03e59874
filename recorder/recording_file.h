// The recording's WAV file: created with a zero-size header when recording
// starts, appended to while it runs, its two size fields brought up to date
// now and then while it runs and once more at stop.
//
// Every write is positioned (the header at 0, audio after what was already
// appended), so the file's shared offset plays no part: a fork() child
// holding a copy of the descriptor cannot move our writes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "positioned_file.h"

namespace orlesk {

class RecordingFile {
 public:
  // Creates or truncates `path` as a regular file. False when it is
  // anything else, or cannot be created.
  bool Create(const char16_t* path);

  // Writes the 44-byte header with both sizes zero at the start. False when
  // the write failed.
  bool WriteWavHeader(std::int32_t sampleRate, std::int32_t bitsPerSample, std::int32_t channels);

  // Appends `size` bytes after those appended so far; false unless all of
  // them were written. After a failure the file holds what was written.
  bool Append(const std::uint8_t* bytes, std::size_t size);

  // Writes the sizes of the whole frames appended so far: offset 4 gets
  // data size + 36 first, then offset 40 the data size. A size too large
  // for 32 bits saturates. False when a write failed.
  bool WriteWavSizes();

  bool Close() { return file_.Close(); }
  std::uint64_t dataBytes() const { return dataBytes_; }

 private:
  common::PositionedFile file_;
  std::uint64_t dataBytes_ = 0;
  // One frame as the header describes it; 1 when that is less than a byte.
  std::uint32_t frameBytes_ = 1;
};

}  // namespace orlesk
