// The writer thread: takes the captured frames out of the queue and appends
// them to the file, so that the capture thread never waits for the disk.
// While recording it brings the header's sizes up to date at least once a
// second, so that a recording cut short by a crash or SIGKILL still reads
// as all but its last second of audio.
//
// After the first failed write nothing more is written: the file stays a
// clean prefix of the audio even if the disk gets space back. The writer
// keeps emptying the queue, so that the capture side sees no loss it
// would wrongly report.
#pragma once

#include <chrono>
#include <thread>

#include "frame_queue.h"
#include "recording_file.h"

namespace orlesk {

// The writer's pace: it wakes at least this often, and writes the sizes
// when they are older than kSizeUpdateInterval.
inline constexpr std::chrono::milliseconds kWriterWakeInterval{500};
inline constexpr std::chrono::milliseconds kSizeUpdateInterval{400};

class RecordingWriter {
 public:
  RecordingWriter(FrameQueue& queue, RecordingFile& file) : queue_(queue), file_(file) {}
  ~RecordingWriter() { Finish(); }
  RecordingWriter(const RecordingWriter&) = delete;
  RecordingWriter& operator=(const RecordingWriter&) = delete;

  // Starts the thread. Throws std::system_error when it cannot.
  void Launch();
  // Tells the queue that nothing more comes, waits until the thread has
  // written everything in it, and returns whether every write succeeded.
  bool Finish();

 private:
  void Run();
  // Writes (or, after a failure, drops) the first `size` queued bytes.
  void WriteOut(std::size_t size);

  FrameQueue& queue_;
  RecordingFile& file_;
  std::thread thread_;
  // Written by the thread, read after it is joined.
  bool writeFailed_ = false;
};

}  // namespace orlesk
