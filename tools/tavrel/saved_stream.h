// A source that cannot be walked where it is: standard input ("-"), a pipe,
// a FIFO or a device. Its bytes are saved to a temporary file first, which
// is then walked and handed on like any regular file.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

namespace tavrel_tool {

// Whether `source` is "-" or names something other than a regular file or
// a folder.
bool IsStream(const std::string& source);

struct SavedStream {
  enum class Outcome {
    kSaved,
    kNotWav,  // its first bytes are not RIFF/WAVE: nothing more was read
    kFailed,
  };
  Outcome outcome;
  std::string what;  // kNotWav: what the stream is; kFailed: what failed
};

// Copies the stream `source` to `out`, unchanged, once its first bytes have
// shown it to be a WAV file. A FIFO without a writer reads as empty.
SavedStream SaveStream(const std::string& source, std::FILE* out);

}  // namespace tavrel_tool
