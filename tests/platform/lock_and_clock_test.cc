// The call lock, the clock and the entropy source.
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <thread>

#include <gtest/gtest.h>

#include "platform/platform.h"

namespace tarnlet {
namespace {

Platform& P() { return NativePlatform(); }

// A thread that takes the lock of its own call, sets *entered, and leaves.
std::thread EnterFromAnotherThread(std::atomic<bool>* entered) {
  return std::thread([entered] {
    LockHandle theirs = P().OpenCallLock();
    P().WaitCallLock(theirs);
    *entered = true;
    P().ReleaseCallLock(theirs);
    P().CloseCallLock(theirs);
  });
}

TEST(CallLock, SecondThreadWaitsForTheRelease) {
  LockHandle mine = P().OpenCallLock();
  ASSERT_NE(mine, nullptr);
  P().WaitCallLock(mine);
  std::atomic<bool> entered{false};
  std::thread other = EnterFromAnotherThread(&entered);
  P().SleepMilliseconds(100);
  EXPECT_FALSE(entered) << "the second call ran while the first held the lock";
  P().ReleaseCallLock(mine);
  other.join();
  EXPECT_TRUE(entered);
  P().CloseCallLock(mine);
}

TEST(CallLock, SerialisesTwoBusyThreads) {
  std::atomic<int> inside{0};
  std::atomic<int> overlaps{0};
  auto work = [&] {
    for (int i = 0; i < 500; ++i) {
      LockHandle lock = P().OpenCallLock();
      P().WaitCallLock(lock);
      if (++inside != 1) ++overlaps;
      std::this_thread::yield();
      --inside;
      P().ReleaseCallLock(lock);
      P().CloseCallLock(lock);
    }
  };
  std::thread a(work);
  std::thread b(work);
  a.join();
  b.join();
  EXPECT_EQ(overlaps, 0);
}

// Like the Windows mutex, the owner may wait again without deadlocking.
TEST(CallLock, OwnerMayWaitAgain) {
  LockHandle lock = P().OpenCallLock();
  P().WaitCallLock(lock);
  P().WaitCallLock(lock);
  P().ReleaseCallLock(lock);
  P().ReleaseCallLock(lock);
  std::atomic<bool> entered{false};
  std::thread other = EnterFromAnotherThread(&entered);
  other.join();
  EXPECT_TRUE(entered) << "two waits, two releases: free again";
  P().CloseCallLock(lock);
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
long long DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const long long yoe = y - era * 400;
  const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

// The local clock minus its offset is the UTC clock of the C library.
void ExpectConsistentWithUtc() {
  LocalTime now = P().LocalNow();
  const long long utc = static_cast<long long>(std::time(nullptr));
  EXPECT_GE(now.year, 2020);
  EXPECT_TRUE(now.month >= 1 && now.month <= 12);
  EXPECT_TRUE(now.day >= 1 && now.day <= 31);
  EXPECT_TRUE(now.hour >= 0 && now.hour <= 23);
  EXPECT_TRUE(now.minute >= 0 && now.minute <= 59);
  EXPECT_TRUE(now.second >= 0 && now.second <= 59);
  EXPECT_LE(std::abs(now.utcOffsetMinutes), 14 * 60);
  const long long days = DaysFromCivil(now.year, now.month, now.day);
  EXPECT_EQ(now.dayOfWeek, static_cast<int>(((days % 7) + 11) % 7)) << "1970-01-01 was a Thursday";
  const long long local = days * 86400 + now.hour * 3600 + now.minute * 60 + now.second;
  EXPECT_LE(std::llabs(local - now.utcOffsetMinutes * 60LL - utc), 2)
      << "offset " << now.utcOffsetMinutes;
}

TEST(Clock, LocalTimeAndOffsetMatchUtc) { ExpectConsistentWithUtc(); }

#ifndef _WIN32
// Zones east and west of UTC, with and without summer time.
TEST(Clock, OffsetFollowsTheZone) {
  const char* saved = std::getenv("TZ");
  const std::string restore = saved != nullptr ? saved : "";
  struct Zone {
    const char* tz;
    int standard;
    int summer;
  } const kZones[] = {
      {"JST-9", 540, 540},
      {"NST3:30NDT,M3.2.0,M11.1.0", -210, -150},
      {"CET-1CEST,M3.5.0,M10.5.0/3", 60, 120},
      {"UTC0", 0, 0},
  };
  for (const Zone& zone : kZones) {
    setenv("TZ", zone.tz, 1);
    tzset();
    const int offset = P().LocalNow().utcOffsetMinutes;
    EXPECT_TRUE(offset == zone.standard || offset == zone.summer) << zone.tz << ": " << offset;
    ExpectConsistentWithUtc();
  }
  if (saved != nullptr) {
    setenv("TZ", restore.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}
#endif

TEST(Clock, SleepWaitsAtLeastTheTime) {
  const auto start = std::chrono::steady_clock::now();
  P().SleepMilliseconds(30);
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(waited).count(), 25);
}

TEST(Entropy, SeedsDiffer) {
  const std::uint32_t first = P().EntropySeed();
  bool differs = false;
  for (int i = 0; i < 4 && !differs; ++i) differs = P().EntropySeed() != first;
  EXPECT_TRUE(differs);
}

}  // namespace
}  // namespace tarnlet
