#include "support/process_resources.h"

#include <windows.h>
// psapi.h after windows.h
#include <psapi.h>

namespace tarnlet {
namespace testing {

long OpenHandles() {
  DWORD count = 0;
  return ::GetProcessHandleCount(::GetCurrentProcess(), &count) ? static_cast<long>(count) : -1;
}

std::size_t MemoryInUse() {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  if (!::GetProcessMemoryInfo(::GetCurrentProcess(),
                              reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                              sizeof counters)) {
    return 0;
  }
  return counters.PrivateUsage;
}

}  // namespace testing
}  // namespace tarnlet
