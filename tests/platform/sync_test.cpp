// Tests of locks, atomic counters, the tick clock and per-thread slots.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/atomic.h"
#include "platform/clock.h"
#include "platform/lock.h"
#include "platform/thread_slot.h"

#if !defined(_WIN32)
#include <pthread.h>
#include <signal.h>
#endif

namespace kvo::platform {
namespace {

// Runs body(thread index) on `count` threads at once and waits for them all.
template <typename Body>
void RunThreads(int count, Body body) {
  std::vector<std::thread> threads;
  for (int t = 0; t < count; ++t) {
    threads.emplace_back(body, t);
  }
  for (auto& thread : threads) {
    thread.join();
  }
}

template <typename LockType>
class LockTest : public ::testing::Test {};
using LockTypes = ::testing::Types<Lock, RecursiveLock>;
TYPED_TEST_SUITE(LockTest, LockTypes);

TYPED_TEST(LockTest, KeepsCountsExactAcrossThreads) {
  TypeParam lock;
  long counter = 0;  // deliberately not atomic: the lock alone protects it
  RunThreads(4, [&](int) {
    for (int i = 0; i < 20000; ++i) {
      std::lock_guard<TypeParam> guard(lock);
      ++counter;
    }
  });
  EXPECT_EQ(counter, 4 * 20000);
}

TEST(RecursiveLock, OwnerMayLockAgainAndMustUnlockAsOften) {
  RecursiveLock lock;
  std::atomic<bool> entered{false};
  lock.lock();
  lock.lock();
  std::thread other([&] {
    std::lock_guard<RecursiveLock> guard(lock);
    entered = true;
  });
  lock.unlock();
  SleepMs(30);
  EXPECT_FALSE(entered) << "one unlock of two released the lock";
  lock.unlock();
  other.join();
  EXPECT_TRUE(entered);
}

TEST(Atomic, EveryStepReturnsItsOwnNewValue) {
  constexpr int kThreads = 4, kSteps = 50000;
  alignas(4) int32_t value = 0;
  std::vector<std::vector<int32_t>> returned(kThreads);
  RunThreads(kThreads, [&](int t) {
    for (int i = 0; i < kSteps; ++i) {
      returned[size_t(t)].push_back(AtomicIncrement(&value));
    }
  });
  std::vector<int32_t> all;
  for (const auto& seen : returned) {
    all.insert(all.end(), seen.begin(), seen.end());
  }
  std::sort(all.begin(), all.end());
  for (size_t i = 0; i < all.size(); ++i) {
    ASSERT_EQ(all[i], int32_t(i) + 1) << "lost or repeated step";
  }
  RunThreads(kThreads, [&](int) {
    for (int i = 0; i < kSteps; ++i) {
      AtomicDecrement(&value);
    }
  });
  EXPECT_EQ(AtomicDecrement(&value), -1);
}

TEST(Clock, TickCountAdvancesAcrossSleep) {
  const uint32_t before = TickCount();
  SleepMs(60);
  const uint32_t elapsed = TickCount() - before;
  // Coarse system ticks are up to about 16 ms apart, so the reading may lag the sleep by one tick.
  EXPECT_GE(elapsed, 60u - 16u);
  EXPECT_LT(elapsed, 0x80000000u) << "went backwards";
}

#if !defined(_WIN32)
void IgnoreSignal(int) {}

TEST(Clock, SleepOutlastsSignals) {
  struct sigaction action = {}, old_action = {};
  action.sa_handler = &IgnoreSignal;  // no SA_RESTART: nanosleep returns early with EINTR
  ASSERT_EQ(sigaction(SIGUSR1, &action, &old_action), 0);
  std::atomic<bool> done{false};
  std::chrono::steady_clock::duration slept{};
  std::thread sleeper([&] {
    const auto start = std::chrono::steady_clock::now();
    SleepMs(200);
    slept = std::chrono::steady_clock::now() - start;
    done = true;
  });
  for (int i = 0; i < 5 && !done; ++i) {
    SleepMs(20);
    if (!done) pthread_kill(sleeper.native_handle(), SIGUSR1);
  }
  sleeper.join();
  sigaction(SIGUSR1, &old_action, nullptr);
  EXPECT_GE(slept, std::chrono::milliseconds(200));
}
#endif

TEST(ThreadSlot, EachThreadSeesItsOwnValue) {
  ThreadSlot slot, other_slot;
  int mine = 0, theirs = 0;
  void *seen_first = &mine, *seen_after_set = nullptr;
  EXPECT_EQ(slot.Get(), nullptr);
  slot.Set(&mine);
  RunThreads(1, [&](int) {
    seen_first = slot.Get();
    slot.Set(&theirs);
    seen_after_set = slot.Get();
  });
  EXPECT_EQ(seen_first, nullptr);
  EXPECT_EQ(seen_after_set, &theirs);
  EXPECT_EQ(slot.Get(), &mine);
  EXPECT_EQ(other_slot.Get(), nullptr);
}

}  // namespace
}  // namespace kvo::platform
