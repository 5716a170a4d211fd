// Sleeping, the local wall clock with its offset from UTC, a seed from the
// system's random generator, and a clock that never goes back.
#include "platform/win32/windows_api.h"
// After windows.h, which it needs.
#include <ntsecapi.h>  // RtlGenRandom, exported by advapi32 as SystemFunction036

#include "platform/system_platform.h"

namespace tarnlet {
namespace {

// Local time minus UTC, in minutes, for the rule in force now.
int CurrentUtcOffsetMinutes() {
  TIME_ZONE_INFORMATION zone;
  DWORD which = ::GetTimeZoneInformation(&zone);
  long bias = zone.Bias;
  if (which == TIME_ZONE_ID_DAYLIGHT) {
    bias += zone.DaylightBias;
  } else if (which == TIME_ZONE_ID_STANDARD) {
    bias += zone.StandardBias;
  } else if (which == TIME_ZONE_ID_INVALID) {
    bias = 0;
  }
  return static_cast<int>(-bias);
}

}  // namespace

void SystemPlatform::SleepMilliseconds(unsigned milliseconds) { ::Sleep(milliseconds); }

LocalTime SystemPlatform::LocalNow() {
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  LocalTime result;
  result.year = now.wYear;
  result.month = now.wMonth;
  result.dayOfWeek = now.wDayOfWeek;
  result.day = now.wDay;
  result.hour = now.wHour;
  result.minute = now.wMinute;
  result.second = now.wSecond;
  result.utcOffsetMinutes = CurrentUtcOffsetMinutes();
  return result;
}

std::uint32_t SystemPlatform::EntropySeed() {
  std::uint32_t seed = 0;
  if (::RtlGenRandom(&seed, sizeof seed)) return seed;
  LARGE_INTEGER counter;
  ::QueryPerformanceCounter(&counter);
  return static_cast<std::uint32_t>(counter.QuadPart) ^ ::GetCurrentProcessId() ^ ::GetTickCount();
}

std::uint64_t SystemPlatform::MonotonicSeconds() { return ::GetTickCount64() / 1000; }

}  // namespace tarnlet
