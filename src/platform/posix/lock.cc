// The library-wide call lock: one recursive mutex for the process, like the
// Windows mutex it stands in for (the owning thread may wait on it again,
// and a release by a thread that does not own it fails harmlessly).
#include <pthread.h>

#include "platform/system_platform.h"

namespace tarnlet {
namespace {

pthread_mutex_t* CallMutex() {
  static pthread_mutex_t mutex;
  static const bool ready = [] {
    pthread_mutexattr_t attributes;
    if (pthread_mutexattr_init(&attributes) != 0) return false;
    bool made = pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE) == 0 &&
                pthread_mutex_init(&mutex, &attributes) == 0;
    pthread_mutexattr_destroy(&attributes);
    return made;
  }();
  return ready ? &mutex : nullptr;
}

pthread_mutex_t* AsMutex(LockHandle lock) { return static_cast<pthread_mutex_t*>(lock); }

}  // namespace

LockHandle SystemPlatform::OpenCallLock() { return CallMutex(); }

void SystemPlatform::WaitCallLock(LockHandle lock) {
  if (lock != nullptr) pthread_mutex_lock(AsMutex(lock));
}

void SystemPlatform::ReleaseCallLock(LockHandle lock) {
  if (lock != nullptr) pthread_mutex_unlock(AsMutex(lock));
}

// The mutex lives as long as the process; a handle is only a pointer to it.
void SystemPlatform::CloseCallLock(LockHandle) {}

}  // namespace tarnlet
