// The Windows headers, trimmed, for the backend files only: the core never
// sees them, so their macros (min, max, SendMessage...) cannot reach it.
#ifndef TARNLET_PLATFORM_WIN32_WINDOWS_API_H_
#define TARNLET_PLATFORM_WIN32_WINDOWS_API_H_

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
// winsock2.h first: windows.h would otherwise pull in the old winsock.h.
#include <winsock2.h>

#include <windows.h>

#endif  // TARNLET_PLATFORM_WIN32_WINDOWS_API_H_
