// Forwards every call to another Platform. A test derives from it and
// overrides only the call it wants to watch or make fail.
#ifndef TARNLET_PLATFORM_PLATFORM_WRAPPER_H_
#define TARNLET_PLATFORM_PLATFORM_WRAPPER_H_

#include "platform/platform.h"

namespace tarnlet {

class PlatformWrapper : public Platform {
 public:
  explicit PlatformWrapper(Platform& target) : target_(target) {}

  Platform& target() { return target_; }

  LockHandle OpenCallLock() override { return target_.OpenCallLock(); }
  void WaitCallLock(LockHandle lock) override { target_.WaitCallLock(lock); }
  void ReleaseCallLock(LockHandle lock) override { target_.ReleaseCallLock(lock); }
  void CloseCallLock(LockHandle lock) override { target_.CloseCallLock(lock); }
  int StartupSockets() override { return target_.StartupSockets(); }
  void CleanupSockets() override { target_.CleanupSockets(); }
  SocketHandle CreateTcpSocket(int* error) override { return target_.CreateTcpSocket(error); }
  bool ConnectIpv4(SocketHandle socket, const char* dotted, std::uint16_t port,
                   int* error) override {
    return target_.ConnectIpv4(socket, dotted, port, error);
  }
  bool SetNonBlocking(SocketHandle socket, int* error) override {
    return target_.SetNonBlocking(socket, error);
  }
  IoResult Send(SocketHandle socket, const char* data, std::size_t length) override {
    return target_.Send(socket, data, length);
  }
  IoResult Receive(SocketHandle socket, char* buffer, std::size_t capacity) override {
    return target_.Receive(socket, buffer, capacity);
  }
  void CloseSocket(SocketHandle socket) override { target_.CloseSocket(socket); }
  int ConnectionResetError() override { return target_.ConnectionResetError(); }
  TlsHandle StartTls(SocketHandle socket, TlsWire& wire, const char* host, int* error) override {
    return target_.StartTls(socket, wire, host, error);
  }
  TlsStep ContinueTls(TlsHandle tls) override { return target_.ContinueTls(tls); }
  IoResult TlsSend(TlsHandle tls, const char* data, std::size_t length) override {
    return target_.TlsSend(tls, data, length);
  }
  IoResult TlsReceive(TlsHandle tls, char* buffer, std::size_t capacity) override {
    return target_.TlsReceive(tls, buffer, capacity);
  }
  void CloseTls(TlsHandle tls) override { target_.CloseTls(tls); }
  void DescribeTls(TlsHandle tls, char* out, std::size_t capacity) override {
    target_.DescribeTls(tls, out, capacity);
  }
  LookupResult ResolveIpv4(const char* name, char* out, int* error) override {
    return target_.ResolveIpv4(name, out, error);
  }
  void SleepMilliseconds(unsigned milliseconds) override {
    target_.SleepMilliseconds(milliseconds);
  }
  LocalTime LocalNow() override { return target_.LocalNow(); }
  std::uint32_t EntropySeed() override { return target_.EntropySeed(); }
  bool AppendLogLine(const char* path, const char* line) override {
    return target_.AppendLogLine(path, line);
  }
  FileHandle OpenForReading(const char* path, int* error) override {
    return target_.OpenForReading(path, error);
  }
  bool SeekToStart(FileHandle file) override { return target_.SeekToStart(file); }
  bool ReadChunk(FileHandle file, void* buffer, std::size_t capacity, std::size_t* got) override {
    return target_.ReadChunk(file, buffer, capacity, got);
  }
  void CloseFile(FileHandle file) override { target_.CloseFile(file); }
  std::size_t ReadProfileString(const char* path, const char* section, const char* key, char* out,
                                std::size_t capacity) override {
    return target_.ReadProfileString(path, section, key, out, capacity);
  }
  void* Allocate(std::size_t size) override { return target_.Allocate(size); }
  void Release(void* block) override { target_.Release(block); }

  HttpsAnswer PostForm(const char* url, const char* form, std::size_t formLength,
                       unsigned timeoutSeconds, char* body, std::size_t capacity) override {
    return target_.PostForm(url, form, formLength, timeoutSeconds, body, capacity);
  }
  bool ReadEnvironment(const char* name, char* out, std::size_t capacity) override {
    return target_.ReadEnvironment(name, out, capacity);
  }
  bool FindKnownFolder(KnownFolder folder, char* out, std::size_t capacity) override {
    return target_.FindKnownFolder(folder, out, capacity);
  }
  bool ReadProfileSections(const char* path, char* out, std::size_t capacity) override {
    return target_.ReadProfileSections(path, out, capacity);
  }
  FilePrivacy CheckPrivacy(const char* path, int* error) override {
    return target_.CheckPrivacy(path, error);
  }
  bool ReplaceFile(const char* path, const char* data, std::size_t size, int* error) override {
    return target_.ReplaceFile(path, data, size, error);
  }
  bool RemoveFile(const char* path, int* error) override { return target_.RemoveFile(path, error); }
  LockHandle TryLockFile(const char* path, bool* busy, int* error) override {
    return target_.TryLockFile(path, busy, error);
  }
  void UnlockFile(LockHandle lock) override { target_.UnlockFile(lock); }
  bool ProtectSecret(const char* data, std::size_t size, char* out, std::size_t capacity,
                     std::size_t* sizeOut) override {
    return target_.ProtectSecret(data, size, out, capacity, sizeOut);
  }
  bool UnprotectSecret(const char* data, std::size_t size, char* out, std::size_t capacity,
                       std::size_t* sizeOut) override {
    return target_.UnprotectSecret(data, size, out, capacity, sizeOut);
  }
  std::uint64_t MonotonicSeconds() override { return target_.MonotonicSeconds(); }

 private:
  Platform& target_;
};

}  // namespace tarnlet

#endif  // TARNLET_PLATFORM_PLATFORM_WRAPPER_H_
