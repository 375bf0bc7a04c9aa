// The mutex and its guard: a lock that fails throws instead of deadlocking.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "pmport/port_thread.h"
#include "pmport/ut_statobj.h"

// ThreadSanitizer reports the deliberate unlock of a mutex that is not held, so a build under it
// leaves that check out.
#if defined(__SANITIZE_THREAD__)
#define PMTEST_THREAD_SANITIZER
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define PMTEST_THREAD_SANITIZER
#endif
#endif

namespace {

TEST(ThrGuard, RelockingOnTheSameThreadThrowsLockFailed) {
  Port_ThrMutex mutex;
  Port::ThrGuard<Port_ThrMutex> outer(mutex);
  try {
    Port_ThrGuard<Port_ThrMutex> inner(mutex);
    FAIL() << "a second lock on the same thread must fail";
  } catch (Port_ThrException::Exception e) {
    EXPECT_EQ(static_cast<int>(e), 8);
  }
}

// The guard unlocks when it goes out of scope, and serialises increments across threads.
TEST(ThrGuard, UnlocksWhenItGoesOutOfScopeAndSerialisesIncrements) {
  Port_ThrMutex mutex;
  long counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 10000; ++i) {
        Port::ThrGuard<Port_ThrMutex> guard(mutex);
        ++counter;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(counter, 40000);
  EXPECT_EQ(mutex.lock(), 0);
  EXPECT_EQ(mutex.unlock(), 0);
#ifndef PMTEST_THREAD_SANITIZER
  EXPECT_NE(mutex.unlock(), 0) << "unlocking a mutex this thread does not hold is reported";
#endif
}

class Named : public UT_STATOBJ {
 public:
  explicit Named(const char* name) : UT_STATOBJ(name) {}
};

TEST(StatObj, IsFindableByNameWhileItLives) {
  EXPECT_EQ(UT_STATOBJ::Find("TEST_STATOBJ"), nullptr);
  {
    Named first("TEST_STATOBJ");
    Named second("TEST_STATOBJ");
    EXPECT_EQ(UT_STATOBJ::Find("TEST_STATOBJ"), &first);
    EXPECT_STREQ(second.getname(), "TEST_STATOBJ");
  }
  EXPECT_EQ(UT_STATOBJ::Find("TEST_STATOBJ"), nullptr);
}

}  // namespace
