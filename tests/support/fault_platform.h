// A platform wrapper that counts every call, can make exactly the Nth call
// of one kind fail, and tracks what is open so tests can prove that every
// socket, file and heap block was released.
#ifndef TARNLET_TESTS_SUPPORT_FAULT_PLATFORM_H_
#define TARNLET_TESTS_SUPPORT_FAULT_PLATFORM_H_

#include <cstddef>
#include <string>

#include "platform/platform_wrapper.h"

namespace tarnlet {
namespace testing {

enum class Call {
  kCreateSocket, kConnect, kSetNonBlocking, kSend, kReceive, kResolve,
  kOpenFile, kSeek, kRead, kAllocate, kStartup,
  kCount
};

class FaultPlatform : public PlatformWrapper {
 public:
  FaultPlatform();  // wraps NativePlatform()
  ~FaultPlatform() override;

  // Makes the nth call (1-based, counted from now) of kind fail with error.
  // A failing kSend with shortBy > 0 instead accepts shortBy fewer bytes.
  void FailNth(Call kind, int nth, int error = 0, std::size_t shortBy = 0);
  // A receive that finds the connection closed by the peer (count 0).
  void PeerClosesAtNthReceive(int nth);
  int Count(Call kind) const;

  int OpenSockets() const;  // created and not yet closed
  int OpenFiles() const;
  long LiveBlocks() const;  // allocated and not yet released
  unsigned Sleeps() const;  // SleepMilliseconds calls

  // Pins the clock (Date and Message-Id) and the random seed.
  void PinTime(const LocalTime& time);

  // ... the Platform overrides.
};

// Installs a platform for the lifetime of the object.
class ScopedPlatform {
 public:
  explicit ScopedPlatform(Platform& platform);
  ~ScopedPlatform();
};

}  // namespace testing
}  // namespace tarnlet

#endif  // TARNLET_TESTS_SUPPORT_FAULT_PLATFORM_H_
