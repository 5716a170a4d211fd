#include "support/fault_platform.h"

#include <cstring>

namespace tarnlet {
namespace testing {

FaultPlatform::FaultPlatform() : PlatformWrapper(NativePlatform()) {}

FaultPlatform::~FaultPlatform() = default;

void FaultPlatform::FailNth(Call kind, int nth, int error, std::size_t shortBy) {
  faults_.push_back(
      {kind, Count(kind) + nth, Effect::kFail, error, shortBy, LookupResult::kOther, ""});
}

void FaultPlatform::WouldBlockNth(Call kind, int nth) {
  faults_.push_back({kind, Count(kind) + nth, Effect::kWouldBlock, 0, 0, LookupResult::kOk, ""});
}

void FaultPlatform::PeerClosesAtNthReceive(int nth) {
  faults_.push_back({Call::kReceive, Count(Call::kReceive) + nth, Effect::kPeerClosed, 0, 0,
                     LookupResult::kOk, ""});
}

void FaultPlatform::ResolveNth(int nth, LookupResult result, const std::string& dotted, int error) {
  faults_.push_back(
      {Call::kResolve, Count(Call::kResolve) + nth, Effect::kLookup, error, 0, result, dotted});
}

void FaultPlatform::MapHost(const std::string& name, const std::string& dotted) {
  hosts_[name] = dotted;
}

int FaultPlatform::Count(Call kind) const { return counts_[static_cast<int>(kind)]; }
int FaultPlatform::OpenSockets() const { return openSockets_; }
int FaultPlatform::OpenFiles() const { return openFiles_; }
long FaultPlatform::LiveBlocks() const { return liveBlocks_; }
unsigned FaultPlatform::Sleeps() const { return sleeps_; }
unsigned long FaultPlatform::SleptMilliseconds() const { return sleptMilliseconds_; }

void FaultPlatform::PinTime(const LocalTime& time) {
  pinnedTime_ = time;
  timePinned_ = true;
}

const FaultPlatform::Fault* FaultPlatform::Next(Call kind) {
  const int number = ++counts_[static_cast<int>(kind)];
  for (const Fault& fault : faults_) {
    if (fault.kind == kind && fault.callNumber == number) return &fault;
  }
  return nullptr;
}

int FaultPlatform::StartupSockets() {
  if (const Fault* fault = Next(Call::kStartup)) return fault->error != 0 ? fault->error : -1;
  return PlatformWrapper::StartupSockets();
}

SocketHandle FaultPlatform::CreateTcpSocket(int* error) {
  if (const Fault* fault = Next(Call::kCreateSocket)) {
    *error = fault->error;
    return kInvalidSocket;
  }
  SocketHandle socket = PlatformWrapper::CreateTcpSocket(error);
  if (socket != kInvalidSocket) ++openSockets_;
  return socket;
}

bool FaultPlatform::ConnectIpv4(SocketHandle socket, const char* dotted, std::uint16_t port,
                                int* error) {
  if (const Fault* fault = Next(Call::kConnect)) {
    *error = fault->error;
    return false;
  }
  return PlatformWrapper::ConnectIpv4(socket, dotted, port, error);
}

bool FaultPlatform::SetNonBlocking(SocketHandle socket, int* error) {
  if (const Fault* fault = Next(Call::kSetNonBlocking)) {
    *error = fault->error;
    return false;
  }
  return PlatformWrapper::SetNonBlocking(socket, error);
}

IoResult FaultPlatform::Send(SocketHandle socket, const char* data, std::size_t length) {
  if (const Fault* fault = Next(Call::kSend)) {
    if (fault->effect == Effect::kWouldBlock) return {-1, 0, true};
    if (fault->shortBy == 0) return {-1, fault->error, false};
    if (length <= fault->shortBy) return {0, 0, false};
    return PlatformWrapper::Send(socket, data, length - fault->shortBy);
  }
  return PlatformWrapper::Send(socket, data, length);
}

IoResult FaultPlatform::Receive(SocketHandle socket, char* buffer, std::size_t capacity) {
  if (const Fault* fault = Next(Call::kReceive)) {
    switch (fault->effect) {
      case Effect::kWouldBlock:
        return {-1, 0, true};
      case Effect::kPeerClosed:
        return {0, 0, false};
      default:
        return {-1, fault->error, false};
    }
  }
  return PlatformWrapper::Receive(socket, buffer, capacity);
}

void FaultPlatform::CloseSocket(SocketHandle socket) {
  if (socket != kInvalidSocket) --openSockets_;
  PlatformWrapper::CloseSocket(socket);
}

LookupResult FaultPlatform::ResolveIpv4(const char* name, char* out, int* error) {
  if (const Fault* fault = Next(Call::kResolve)) {
    *error = fault->error;
    if (fault->effect != Effect::kLookup) return LookupResult::kOther;
    if (fault->lookup == LookupResult::kOk) {
      std::strncpy(out, fault->dotted.c_str(), 15);
      out[15] = '\0';
    }
    return fault->lookup;
  }
  auto mapped = hosts_.find(name);
  if (mapped != hosts_.end()) {
    std::strncpy(out, mapped->second.c_str(), 15);
    out[15] = '\0';
    *error = 0;
    return LookupResult::kOk;
  }
  return PlatformWrapper::ResolveIpv4(name, out, error);
}

void FaultPlatform::SleepMilliseconds(unsigned milliseconds) {
  ++sleeps_;
  sleptMilliseconds_ += milliseconds;
  if (!skipSleeps_) PlatformWrapper::SleepMilliseconds(milliseconds);
}

LocalTime FaultPlatform::LocalNow() {
  return timePinned_ ? pinnedTime_ : PlatformWrapper::LocalNow();
}

std::uint32_t FaultPlatform::EntropySeed() {
  return timePinned_ ? kPinnedSeed : PlatformWrapper::EntropySeed();
}

FileHandle FaultPlatform::OpenForReading(const char* path, int* error) {
  if (const Fault* fault = Next(Call::kOpenFile)) {
    *error = fault->error;
    return kInvalidFile;
  }
  FileHandle file = PlatformWrapper::OpenForReading(path, error);
  if (file != kInvalidFile) ++openFiles_;
  return file;
}

bool FaultPlatform::SeekToStart(FileHandle file) {
  if (Next(Call::kSeek) != nullptr) return false;
  return PlatformWrapper::SeekToStart(file);
}

bool FaultPlatform::ReadChunk(FileHandle file, void* buffer, std::size_t capacity,
                              std::size_t* got) {
  if (Next(Call::kRead) != nullptr) {
    *got = 0;
    return false;
  }
  return PlatformWrapper::ReadChunk(file, buffer, capacity, got);
}

void FaultPlatform::CloseFile(FileHandle file) {
  if (file != kInvalidFile) --openFiles_;
  PlatformWrapper::CloseFile(file);
}

void* FaultPlatform::Allocate(std::size_t size) {
  if (Next(Call::kAllocate) != nullptr) return nullptr;
  void* block = PlatformWrapper::Allocate(size);
  if (block != nullptr) ++liveBlocks_;
  return block;
}

void FaultPlatform::Release(void* block) {
  if (block != nullptr) --liveBlocks_;
  PlatformWrapper::Release(block);
}

ScopedPlatform::ScopedPlatform(Platform& platform) {
  Platform& current = CurrentPlatform();
  previous_ = &current == &NativePlatform() ? nullptr : &current;
  SetPlatformForTesting(&platform);
}

ScopedPlatform::~ScopedPlatform() { SetPlatformForTesting(previous_); }

}  // namespace testing
}  // namespace tarnlet
