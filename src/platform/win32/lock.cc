// The library-wide call lock: one unnamed mutex, created on first use and
// published with a compare-exchange (a thread that loses the race closes its
// own). Each call gets a duplicate of its handle, so closing a call's handle
// never closes the lock. Having no name, no other process can reach it; the
// one original handle lives until the process ends.
#include "platform/win32/windows_api.h"

#include "platform/system_platform.h"

namespace tarnlet {
namespace {

void* volatile g_callMutex = nullptr;

HANDLE SharedMutex() {
  HANDLE existing = g_callMutex;
  if (existing != nullptr) return existing;
  HANDLE made = ::CreateMutexA(nullptr, FALSE, nullptr);
  if (made == nullptr) return nullptr;
  existing = ::InterlockedCompareExchangePointer(&g_callMutex, made, nullptr);
  if (existing == nullptr) return made;
  ::CloseHandle(made);
  return existing;
}

}  // namespace

LockHandle SystemPlatform::OpenCallLock() {
  HANDLE shared = SharedMutex();
  if (shared == nullptr) return nullptr;
  HANDLE own = nullptr;
  HANDLE process = ::GetCurrentProcess();
  if (!::DuplicateHandle(process, shared, process, &own, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
    return nullptr;
  }
  return own;
}

void SystemPlatform::WaitCallLock(LockHandle lock) {
  if (lock != nullptr) ::WaitForSingleObject(lock, INFINITE);
}

void SystemPlatform::ReleaseCallLock(LockHandle lock) {
  if (lock != nullptr) ::ReleaseMutex(lock);
}

void SystemPlatform::CloseCallLock(LockHandle lock) {
  if (lock != nullptr) ::CloseHandle(lock);
}

}  // namespace tarnlet
