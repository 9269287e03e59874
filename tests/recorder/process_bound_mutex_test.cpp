// The start/stop mutex across threads and across fork(): threads of one
// process take turns; a child that inherits it held is told so at once
// instead of waiting for ever.
#include "process_bound_mutex.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace {

TEST(ProcessBoundMutex, ThreadsOfOneProcessTakeTurns) {
  orlesk::ProcessBoundMutex mutex;
  ASSERT_TRUE(mutex.Lock());
  std::atomic<bool> taken{false};
  std::thread other([&] {
    EXPECT_TRUE(mutex.Lock());
    taken.store(true);
    mutex.Unlock();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(taken.load()) << "taken while held";
  mutex.Unlock();
  other.join();
  EXPECT_TRUE(taken.load());
  EXPECT_TRUE(mutex.Lock());
  mutex.Unlock();
}

// Windows has no fork(): its death tests start a fresh process, which
// inherits no memory.
#if !defined(_WIN32)
TEST(ProcessBoundMutex, AChildThatInheritsItHeldIsRefusedAtOnce) {
  orlesk::ProcessBoundMutex mutex;
  ASSERT_TRUE(mutex.Lock());
  // Waiting here would hang the child until the test's timeout.
  EXPECT_EXIT(std::_Exit(mutex.Lock() ? 1 : 0), ::testing::ExitedWithCode(0), "");
  mutex.Unlock();
  // Free when the child is made, the mutex is the child's to take.
  EXPECT_EXIT(std::_Exit(mutex.Lock() ? 0 : 1), ::testing::ExitedWithCode(0), "");
}

#endif

}  // namespace
