// Sleeping, the local wall clock with its offset from UTC, and a seed from
// the system's random generator.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After windows.h, which it needs.
#include <ntsecapi.h>  // RtlGenRandom, exported by advapi32 as SystemFunction036

#include "platform/win32/win32_platform.h"

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

void Win32Platform::SleepMilliseconds(unsigned milliseconds) { ::Sleep(milliseconds); }

LocalTime Win32Platform::LocalNow() {
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

std::uint32_t Win32Platform::EntropySeed() {
  std::uint32_t seed = 0;
  if (::RtlGenRandom(&seed, sizeof seed)) return seed;
  LARGE_INTEGER counter;
  ::QueryPerformanceCounter(&counter);
  return static_cast<std::uint32_t>(counter.QuadPart) ^ ::GetCurrentProcessId() ^ ::GetTickCount();
}

}  // namespace tarnlet
