// The recording's WAV file: opened for this recording alone when it
// starts, given a zero-size header once the recording is sure to go ahead,
// appended to while it runs, its two size fields brought up to date now and
// then while it runs and once more at stop.
//
// Every write is positioned (the header at 0, audio after what was already
// appended), so the file's shared offset plays no part: a fork() child
// holding a copy of the descriptor cannot move our writes.
//
// Before every write after the header, the file is checked against what
// was written to it: once it has been truncated, replaced or removed by
// someone else, it is no longer ours, and nothing more is written to it
// (sizes or audio written there would damage what took its place).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "positioned_file.h"

namespace orlesk {

class RecordingFile {
 public:
  // Opens `path` as a regular file for this recording alone: a second
  // recording of the same file, in this process or another, is refused
  // until this one closes. A missing file is created; an existing one is
  // left as it is until WriteWavHeader. False when the path names anything
  // else, or the file cannot be created or opened, or is being recorded.
  bool Open(std::u16string path);

  // Cuts the file to a 44-byte header with both sizes zero. False when that
  // failed.
  bool WriteWavHeader(std::int32_t sampleRate, std::int32_t bitsPerSample, std::int32_t channels);

  // For a start that does not go ahead: a file that Open created is removed,
  // any other is closed as it is.
  void Abandon();

  // Appends `size` bytes after those appended so far; false unless all of
  // them were written. After a failure the file holds what was written.
  // False, writing nothing, once the file was found changed.
  bool Append(const std::uint8_t* bytes, std::size_t size);

  // Checks the file, then writes the sizes of the whole frames appended so
  // far: offset 4 gets data size + 36 first, then offset 40 the data size.
  // A size too large for 32 bits saturates. False when a write failed, or
  // when the file was truncated, replaced or removed (and left alone).
  bool WriteWavSizes();

  bool Close() { return file_.Close(); }
  std::uint64_t dataBytes() const { return dataBytes_; }

 private:
  // Checks the file; false once it was found changed.
  bool StillOurs();

  std::u16string path_;
  common::PositionedFile file_;
  bool created_ = false;
  // The file was found truncated, replaced or removed.
  bool changed_ = false;
  std::uint64_t dataBytes_ = 0;
  // One frame as the header describes it; 1 when that is less than a byte.
  std::uint32_t frameBytes_ = 1;
};

}  // namespace orlesk
