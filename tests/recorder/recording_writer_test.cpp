// The writer thread on a queue small enough to wrap: what waits when the
// recording finishes is written in full, both pieces of it.
#include "recording_writer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "recorder_test_support.h"

namespace {

using namespace recorder_test;
using namespace test_support;

TEST(RecordingWriter, TheLastFlushWritesBothPiecesOfAQueueThatWrapsItsEnd) {
  ScratchFolder dir;
  const auto path = dir / "wrapped.wav";
  orlesk::RecordingFile file;
  ASSERT_TRUE(file.Open(Utf16Path(path)));
  ASSERT_TRUE(file.WriteWavHeader(8000, 8, 1));
  // A ring of 8 bytes; the writer wakes once 6 wait, or on its timer.
  orlesk::FrameQueue queue(8, 1, 6);
  orlesk::RecordingWriter writer(queue, file);
  writer.Launch();
  const Bytes audio = NoiseBytes(10, 5);
  ASSERT_EQ(queue.Push(audio.data(), 6), 6u);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (queue.Waiting() > 0 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_EQ(queue.Waiting(), 0u);
  // Two bytes before the ring's end and two after it, too few to wake the
  // writer: they are written by the flush that finishing makes.
  ASSERT_EQ(queue.Push(audio.data() + 6, 4), 4u);
  ASSERT_TRUE(writer.Finish());
  ASSERT_TRUE(file.WriteWavSizes());
  ASSERT_TRUE(file.Close());
  EXPECT_EQ(AudioOf(ReadWholeFile(path)), audio);
}

}  // namespace
