// The backend compiled into this build: posix/ holds our own counterparts of
// the Windows services the core was written against, win32/ those services
// themselves. Each group of calls lives in a file of its own.
#ifndef TARNLET_PLATFORM_SYSTEM_PLATFORM_H_
#define TARNLET_PLATFORM_SYSTEM_PLATFORM_H_

#include "platform/platform.h"

namespace tarnlet {

class SystemPlatform final : public Platform {
 public:
  // lock.cc
  LockHandle OpenCallLock() override;
  void WaitCallLock(LockHandle lock) override;
  void ReleaseCallLock(LockHandle lock) override;
  void CloseCallLock(LockHandle lock) override;

  // sockets.cc
  int StartupSockets() override;
  void CleanupSockets() override;
  SocketHandle CreateTcpSocket(int* error) override;
  bool ConnectIpv4(SocketHandle socket, const char* dotted, std::uint16_t port,
                   int* error) override;
  bool SetNonBlocking(SocketHandle socket, int* error) override;
  IoResult Send(SocketHandle socket, const char* data, std::size_t length) override;
  IoResult Receive(SocketHandle socket, char* buffer, std::size_t capacity) override;
  void CloseSocket(SocketHandle socket) override;
  int ConnectionResetError() override;

  // tls.cc
  TlsHandle StartTls(SocketHandle socket, TlsWire& wire, const char* host, int* error) override;
  TlsStep ContinueTls(TlsHandle tls) override;
  IoResult TlsSend(TlsHandle tls, const char* data, std::size_t length) override;
  IoResult TlsReceive(TlsHandle tls, char* buffer, std::size_t capacity) override;
  void CloseTls(TlsHandle tls) override;
  void DescribeTls(TlsHandle tls, char* out, std::size_t capacity) override;

  // resolver.cc
  LookupResult ResolveIpv4(const char* name, char* out, int* error) override;

  // clock.cc
  void SleepMilliseconds(unsigned milliseconds) override;
  LocalTime LocalNow() override;
  std::uint32_t EntropySeed() override;

  // log.cc
  bool AppendLogLine(const char* path, const char* line) override;

  // files.cc
  FileHandle OpenForReading(const char* path, int* error) override;
  bool SeekToStart(FileHandle file) override;
  bool ReadChunk(FileHandle file, void* buffer, std::size_t capacity, std::size_t* got) override;
  void CloseFile(FileHandle file) override;

  // ini.cc
  std::size_t ReadProfileString(const char* path, const char* section, const char* key, char* out,
                                std::size_t capacity) override;

  // memory.cc
  void* Allocate(std::size_t size) override;
  void Release(void* block) override;

  // https.cc
  HttpsAnswer PostForm(const char* url, const char* form, std::size_t formLength,
                       unsigned timeoutSeconds, char* body, std::size_t capacity) override;

  // user_files.cc
  bool ReadEnvironment(const char* name, char* out, std::size_t capacity) override;
  bool FindKnownFolder(KnownFolder folder, char* out, std::size_t capacity) override;
  FilePrivacy CheckPrivacy(const char* path, int* error) override;
  bool ReplaceFile(const char* path, const char* data, std::size_t size, int* error) override;
  bool RemoveFile(const char* path, int* error) override;
  LockHandle TryLockFile(const char* path, bool* busy, int* error) override;
  void UnlockFile(LockHandle lock) override;

  // ini.cc
  bool ReadProfileSections(const char* path, char* out, std::size_t capacity) override;

  // secrets.cc
  bool ProtectSecret(const char* data, std::size_t size, char* out, std::size_t capacity,
                     std::size_t* sizeOut) override;
  bool UnprotectSecret(const char* data, std::size_t size, char* out, std::size_t capacity,
                       std::size_t* sizeOut) override;

  // clock.cc
  std::uint64_t MonotonicSeconds() override;
};

}  // namespace tarnlet

#endif  // TARNLET_PLATFORM_SYSTEM_PLATFORM_H_
