// Sleeping, the local wall clock with its offset from UTC, a seed from the
// kernel's entropy, and a clock that never goes back.
#include <errno.h>
#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <ctime>

#include "platform/system_platform.h"

namespace tarnlet {

void SystemPlatform::SleepMilliseconds(unsigned milliseconds) {
  timespec left;
  left.tv_sec = static_cast<time_t>(milliseconds / 1000);
  left.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
  while (::nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

LocalTime SystemPlatform::LocalNow() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  LocalTime result;
  result.year = local.tm_year + 1900;
  result.month = local.tm_mon + 1;
  result.dayOfWeek = local.tm_wday;
  result.day = local.tm_mday;
  result.hour = local.tm_hour;
  result.minute = local.tm_min;
  // A leap second shows as 60; the Windows clock never does.
  result.second = local.tm_sec > 59 ? 59 : local.tm_sec;
  result.utcOffsetMinutes = static_cast<int>(local.tm_gmtoff / 60);
  return result;
}

std::uint32_t SystemPlatform::EntropySeed() {
  std::uint32_t seed = 0;
  ssize_t got;
  do {
    got = ::getrandom(&seed, sizeof seed, 0);
  } while (got < 0 && errno == EINTR);
  if (got == static_cast<ssize_t>(sizeof seed)) return seed;
  // Kernels before getrandom: the device gives the same entropy.
  int fd = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
  if (fd >= 0) {
    got = ::read(fd, &seed, sizeof seed);
    ::close(fd);
    if (got == static_cast<ssize_t>(sizeof seed)) return seed;
  }
  return static_cast<std::uint32_t>(std::time(nullptr)) ^
         (static_cast<std::uint32_t>(::getpid()) << 16);
}

std::uint64_t SystemPlatform::MonotonicSeconds() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::uint64_t>(now.tv_sec);
}

}  // namespace tarnlet
