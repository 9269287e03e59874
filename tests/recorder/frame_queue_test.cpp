// The queue between capture and file: whole frames only, in order across
// the ring's end, nothing taken when full, and a writer woken in time.
#include "frame_queue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::uint8_t> Sequence(std::size_t size, std::uint8_t first) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) {
    bytes[i] = static_cast<std::uint8_t>(first + i);
  }
  return bytes;
}

// Takes everything waiting, piece by piece.
std::vector<std::uint8_t> TakeAll(orlesk::FrameQueue& queue) {
  std::vector<std::uint8_t> taken;
  while (queue.Waiting() > 0) {
    const auto piece = queue.Front();
    taken.insert(taken.end(), piece.begin(), piece.end());
    queue.Pop(piece.size());
  }
  return taken;
}

TEST(FrameQueue, RoundsItsRoomUpToWholeFramesAndTakesOnlyWholeFramesThatFit) {
  orlesk::FrameQueue queue(10, 3, 3);
  EXPECT_EQ(queue.capacity(), 12u);
  const std::vector<std::uint8_t> bytes = Sequence(8, 0);
  EXPECT_EQ(queue.Push(bytes.data(), 8), 6u) << "two whole frames of 3 bytes";
  EXPECT_EQ(queue.Push(bytes.data(), 8), 6u);
  EXPECT_EQ(queue.Push(bytes.data(), 3), 0u) << "full";
  queue.Pop(3);
  EXPECT_EQ(queue.Push(bytes.data() + 2, 5), 3u);
  EXPECT_EQ(TakeAll(queue),
            (std::vector<std::uint8_t>{3, 4, 5, 0, 1, 2, 3, 4, 5, 2, 3, 4}));
}

TEST(FrameQueue, KeepsTheOrderAcrossTheEndOfTheRing) {
  orlesk::FrameQueue queue(8, 2, 2);
  std::vector<std::uint8_t> expected;
  std::vector<std::uint8_t> taken;
  std::uint8_t next = 0;
  int wrappedRounds = 0;
  for (int round = 0; round < 20; ++round) {
    const std::vector<std::uint8_t> bytes = Sequence(6, next);
    ASSERT_EQ(queue.Push(bytes.data(), bytes.size()), 6u);
    expected.insert(expected.end(), bytes.begin(), bytes.end());
    next = static_cast<std::uint8_t>(next + 6);
    // Front gives one piece; the rest follows after the wrap.
    const auto piece = queue.Front();
    EXPECT_LE(piece.size(), 6u);
    wrappedRounds += piece.size() < 6 ? 1 : 0;
    const std::vector<std::uint8_t> all = TakeAll(queue);
    taken.insert(taken.end(), all.begin(), all.end());
  }
  EXPECT_EQ(taken, expected);
  EXPECT_GT(wrappedRounds, 0) << "no push crossed the end of the ring";
}

TEST(FrameQueue, WakesTheWriterAtItsMarkAndAtFinish) {
  orlesk::FrameQueue queue(1000, 1, 100);
  const std::vector<std::uint8_t> bytes = Sequence(100, 0);
  const Clock::time_point start = Clock::now();
  std::thread producer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    queue.Push(bytes.data(), 50);
    queue.Push(bytes.data(), 50);
  });
  // Woken by the push that reaches the mark, long before the timeout.
  EXPECT_FALSE(queue.Wait(std::chrono::seconds(30)));
  EXPECT_GE(queue.Waiting(), 100u);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(20));
  producer.join();

  std::thread finisher([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    queue.Finish();
  });
  TakeAll(queue);
  EXPECT_TRUE(queue.Wait(std::chrono::seconds(30)));
  finisher.join();
}

TEST(FrameQueue, WaitReturnsAfterItsTimeoutWithLessThanTheMark) {
  orlesk::FrameQueue queue(1000, 1, 100);
  const std::vector<std::uint8_t> bytes = Sequence(10, 0);
  queue.Push(bytes.data(), bytes.size());
  EXPECT_FALSE(queue.Wait(std::chrono::milliseconds(10)));
  EXPECT_EQ(queue.Waiting(), 10u);
}

}  // namespace
