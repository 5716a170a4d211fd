// A platform wrapper that counts every call, can make exactly the Nth call
// of one kind fail, and tracks what is open so tests can prove that every
// socket, file and heap block was released.
#ifndef TARNLET_TESTS_SUPPORT_FAULT_PLATFORM_H_
#define TARNLET_TESTS_SUPPORT_FAULT_PLATFORM_H_

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/platform_wrapper.h"

namespace tarnlet {
namespace testing {

enum class Call {
  kCreateSocket,
  kConnect,
  kSetNonBlocking,
  kSend,
  kReceive,
  kResolve,
  kOpenFile,
  kSeek,
  kRead,
  kAllocate,
  kStartup,
  kCount
};

class FaultPlatform : public PlatformWrapper {
 public:
  FaultPlatform();  // wraps NativePlatform()
  ~FaultPlatform() override;

  // Makes the nth call (1-based, counted from now) of kind fail with error.
  // A failing kSend with shortBy > 0 instead accepts shortBy fewer bytes.
  // A failing kResolve reports LookupResult::kOther; see ResolveNth.
  void FailNth(Call kind, int nth, int error = 0, std::size_t shortBy = 0);
  // The nth send or receive (counted from now) finds nothing to do yet:
  // it reports "would block" without touching the socket.
  void WouldBlockNth(Call kind, int nth);
  // A receive that finds the connection closed by the peer (count 0).
  void PeerClosesAtNthReceive(int nth);
  // The nth resolve (counted from now) returns result without asking the
  // system; with kOk, dotted (at most 15 characters) is the address.
  void ResolveNth(int nth, LookupResult result, const std::string& dotted = "", int error = 0);
  // Every later resolve of name gives dotted, without asking the system.
  void MapHost(const std::string& name, const std::string& dotted);
  int Count(Call kind) const;

  int OpenSockets() const;  // created and not yet closed
  int OpenFiles() const;
  long LiveBlocks() const;                  // allocated and not yet released
  unsigned Sleeps() const;                  // SleepMilliseconds calls
  unsigned long SleptMilliseconds() const;  // the sum of their arguments
  // Sleeps are counted but return at once.
  void SkipSleeps(bool skip = true) { skipSleeps_ = skip; }

  // Pins the clock (Date and Message-Id) and the random seed.
  void PinTime(const LocalTime& time);
  static constexpr std::uint32_t kPinnedSeed = 20260305u;

  // --- the Platform overrides ---
  int StartupSockets() override;
  SocketHandle CreateTcpSocket(int* error) override;
  bool ConnectIpv4(SocketHandle socket, const char* dotted, std::uint16_t port,
                   int* error) override;
  bool SetNonBlocking(SocketHandle socket, int* error) override;
  IoResult Send(SocketHandle socket, const char* data, std::size_t length) override;
  IoResult Receive(SocketHandle socket, char* buffer, std::size_t capacity) override;
  void CloseSocket(SocketHandle socket) override;
  LookupResult ResolveIpv4(const char* name, char* out, int* error) override;
  void SleepMilliseconds(unsigned milliseconds) override;
  LocalTime LocalNow() override;
  std::uint32_t EntropySeed() override;
  FileHandle OpenForReading(const char* path, int* error) override;
  bool SeekToStart(FileHandle file) override;
  bool ReadChunk(FileHandle file, void* buffer, std::size_t capacity, std::size_t* got) override;
  void CloseFile(FileHandle file) override;
  void* Allocate(std::size_t size) override;
  void Release(void* block) override;

 private:
  enum class Effect { kFail, kWouldBlock, kPeerClosed, kLookup };
  struct Fault {
    Call kind;
    int callNumber;  // absolute, 1-based
    Effect effect;
    int error;
    std::size_t shortBy;
    LookupResult lookup;
    std::string dotted;
  };

  // Counts one call of kind and returns the fault planned for it, if any.
  const Fault* Next(Call kind);

  int counts_[static_cast<int>(Call::kCount)] = {};
  std::vector<Fault> faults_;
  std::map<std::string, std::string> hosts_;
  int openSockets_ = 0;
  int openFiles_ = 0;
  long liveBlocks_ = 0;
  unsigned sleeps_ = 0;
  unsigned long sleptMilliseconds_ = 0;
  bool skipSleeps_ = false;
  bool timePinned_ = false;
  LocalTime pinnedTime_ = {};
};

// Installs a platform for the lifetime of the object and restores the one
// installed before.
class ScopedPlatform {
 public:
  explicit ScopedPlatform(Platform& platform);
  ~ScopedPlatform();
  ScopedPlatform(const ScopedPlatform&) = delete;
  ScopedPlatform& operator=(const ScopedPlatform&) = delete;

 private:
  Platform* previous_;
};

}  // namespace testing
}  // namespace tarnlet

#endif  // TARNLET_TESTS_SUPPORT_FAULT_PLATFORM_H_
