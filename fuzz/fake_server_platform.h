// The in-memory server behind the fuzzers and the tests replaying their
// kept inputs: no network, no clock, no files. Connects always succeed,
// every receive hands out the next chunk of a reply stream chosen by the
// caller (or, in answering mode, a canned reply to each client line),
// sends are recorded, sleeps return at once, log lines are kept in memory.
// It models each call of the seam itself; the one it does not model (the
// INI reader) is reported through unmodelled, never made for real. Install
// it under a testing::FaultPlatform, which counts the calls and tracks what
// is open.
#ifndef TARNLET_FUZZ_FAKE_SERVER_PLATFORM_H_
#define TARNLET_FUZZ_FAKE_SERVER_PLATFORM_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>

#include "platform/platform.h"
#include "support/pinned_clock.h"

namespace tarnlet {
namespace fuzzing {

// What a fuzzer does with a call the fake does not model: stop at once, so
// it shows as a crash with the call's name.
inline void AbortOnUnmodelled(const char* call) {
  std::fprintf(stderr, "unmodelled platform call: %s\n", call);
  std::abort();
}

class FakeServerPlatform : public Platform {
 public:
  using Report = void (*)(const char* call);
  // A chunk of this marker makes the receive report "would block"; one of
  // kResetChunk a connection reset.
  static constexpr const char* kWouldBlockChunk = "\x01WB";
  static constexpr const char* kResetChunk = "\x01RS";

  explicit FakeServerPlatform(Report unmodelled = AbortOnUnmodelled) : unmodelled_(unmodelled) {}
  // Scripted mode: receives return these chunks in order, then end of
  // stream. Each chunk may be split across receives by the reader's size.
  void AddChunk(std::string chunk) { chunks_.push_back(std::move(chunk)); }
  // Answering mode: every connection greets, and every client line gets a
  // plausible reply. popPort: connections to it speak POP3.
  void Answer(std::uint16_t popPort, std::string challenge) {
    answering_ = true;
    popPort_ = popPort;
    challenge_ = std::move(challenge);
  }
  // In answering mode, EHLO offers STARTTLS and PLAIN instead of CRAM-MD5.
  void OfferStartTls() { startTls_ = true; }

  std::string sent;      // the first kSentLimit bytes the client sent
  std::string log;       // every log line, LF-terminated, up to kLogLimit bytes
  std::string lastLine;  // the message of the latest log line
  static constexpr std::size_t kSentLimit = 1 << 16;
  static constexpr std::size_t kLogLimit = 1 << 16;

  // One call at a time: the lock has nothing to guard.
  LockHandle OpenCallLock() override { return this; }
  void WaitCallLock(LockHandle) override {}
  void ReleaseCallLock(LockHandle) override {}
  void CloseCallLock(LockHandle) override {}
  int StartupSockets() override { return 0; }
  void CleanupSockets() override {}
  SocketHandle CreateTcpSocket(int*) override { return 100 + ++connections_; }
  bool ConnectIpv4(SocketHandle, const char*, std::uint16_t port, int*) override {
    if (answering_) {
      pop_ = port == popPort_;
      chunks_.clear();
      chunks_.push_back(pop_ ? "+OK POP3 ready <1896.697170952@dbc.mtview.ca.us>\r\n"
                             : "220 ready\r\n");
    }
    return true;
  }
  bool SetNonBlocking(SocketHandle, int*) override { return true; }
  IoResult Send(SocketHandle, const char* data, std::size_t length) override {
    std::string bytes(data, length);  // reads every byte: ASan sees overruns
    if (sent.size() < kSentLimit) sent.append(bytes, 0, kSentLimit - sent.size());
    if (answering_) Respond(bytes);
    return IoResult{static_cast<long>(length), 0, false};
  }
  IoResult Receive(SocketHandle, char* buffer, std::size_t capacity) override {
    if (chunks_.empty()) return IoResult{0, 0, false};
    std::string& chunk = chunks_.front();
    if (chunk == kWouldBlockChunk) {
      chunks_.pop_front();
      return IoResult{-1, 0, true};
    }
    if (chunk == kResetChunk) {
      chunks_.pop_front();
      return IoResult{-1, ConnectionResetError(), false};
    }
    const std::size_t n = chunk.size() < capacity ? chunk.size() : capacity;
    std::memcpy(buffer, chunk.data(), n);
    chunk.erase(0, n);
    if (chunk.empty()) chunks_.pop_front();
    return IoResult{static_cast<long>(n), 0, false};
  }
  void CloseSocket(SocketHandle) override {}
  int ConnectionResetError() override { return 10054; }
  // TLS is modelled as a layer that passes the bytes through its wire: the
  // handshake is done at once, and the exchange inside it reads the same
  // stream through the installed platform, so the dialogue inside TLS meets
  // the same replies and the same faults. tlsSessions counts the handshakes.
  TlsHandle StartTls(SocketHandle, TlsWire& wire, const char*, int*) override {
    ++tlsSessions;
    return &wire;
  }
  TlsStep ContinueTls(TlsHandle) override { return {TlsProgress::kDone, false, 0}; }
  IoResult TlsSend(TlsHandle tls, const char* data, std::size_t length) override {
    return static_cast<TlsWire*>(tls)->Write(data, length);
  }
  IoResult TlsReceive(TlsHandle tls, char* buffer, std::size_t capacity) override {
    return static_cast<TlsWire*>(tls)->Read(buffer, capacity);
  }
  void CloseTls(TlsHandle) override {}
  void DescribeTls(TlsHandle, char* out, std::size_t capacity) override {
    if (capacity > 0) std::snprintf(out, capacity, "%s", "pass-through TLS");
  }
  int tlsSessions = 0;
  LookupResult ResolveIpv4(const char* name, char* out, int* error) override {
    if (std::strcmp(name, "mail.example") == 0) {
      std::strcpy(out, "127.0.0.1");
      return LookupResult::kOk;
    }
    *error = 11001;
    return LookupResult::kHostNotFound;
  }
  void SleepMilliseconds(unsigned) override {}
  LocalTime LocalNow() override { return testing::kPinnedTime; }
  std::uint32_t EntropySeed() override { return testing::kPinnedSeed; }
  bool AppendLogLine(const char*, const char* line) override {
    lastLine = line;
    if (log.size() < kLogLimit) {
      log += line;
      log += '\n';
    }
    return true;
  }
  // Paths ending in ".txt" open as a small file; every other path is
  // missing.
  FileHandle OpenForReading(const char* path, int* error) override {
    const std::size_t length = std::strlen(path);
    if (length < 4 || std::strcmp(path + length - 4, ".txt") != 0) {
      *error = 2;
      return kInvalidFile;
    }
    filePosition_ = 0;
    return 7;
  }
  bool SeekToStart(FileHandle) override {
    filePosition_ = 0;
    return true;
  }
  bool ReadChunk(FileHandle, void* buffer, std::size_t capacity, std::size_t* got) override {
    static const char kContent[] = "attached line\r\nand a second one\r\n";
    const std::size_t left = sizeof kContent - 1 - filePosition_;
    const std::size_t n = left < capacity ? left : capacity;
    std::memcpy(buffer, kContent + filePosition_, n);
    filePosition_ += n;
    *got = n;
    return true;
  }
  void CloseFile(FileHandle) override {}
  std::size_t ReadProfileString(const char*, const char*, const char*, char* out,
                                std::size_t capacity) override {
    unmodelled_("ReadProfileString");
    if (capacity > 0) out[0] = '\0';
    return 0;
  }
  void* Allocate(std::size_t size) override { return std::malloc(size == 0 ? 1 : size); }
  void Release(void* block) override { std::free(block); }
  // No environment and no folders: no OAuth profile is ever found, so the
  // rest is reached only by a fault.
  HttpsAnswer PostForm(const char*, const char*, std::size_t, unsigned, char*,
                       std::size_t) override {
    unmodelled_("PostForm");
    return {HttpsOutcome::kFailed, 0, 0, 0, false};
  }
  bool ReadEnvironment(const char*, char*, std::size_t) override { return false; }
  bool FindKnownFolder(KnownFolder, char*, std::size_t) override { return false; }
  bool ReadProfileSections(const char*, char*, std::size_t) override {
    unmodelled_("ReadProfileSections");
    return false;
  }
  FilePrivacy CheckPrivacy(const char*, int*) override { return FilePrivacy::kMissing; }
  bool ReplaceFile(const char*, const char*, std::size_t, int*) override {
    unmodelled_("ReplaceFile");
    return false;
  }
  bool RemoveFile(const char*, int*) override { return true; }
  LockHandle TryLockFile(const char*, bool*, int*) override {
    unmodelled_("TryLockFile");
    return nullptr;
  }
  void UnlockFile(LockHandle) override {}
  bool ProtectSecret(const char*, std::size_t, char*, std::size_t, std::size_t*) override {
    return false;
  }
  bool UnprotectSecret(const char*, std::size_t, char*, std::size_t, std::size_t*) override {
    return false;
  }
  std::uint64_t MonotonicSeconds() override { return 0; }

 private:
  // One canned reply per complete client line; the message body (after a
  // 354) is taken whole up to its final dot line.
  void Respond(const std::string& bytes) {
    pending_ += bytes;
    for (;;) {
      if (inData_) {
        const std::size_t end = pending_.find("\r\n.\r\n");
        if (end == std::string::npos) {
          if (pending_.size() > 8) pending_.erase(0, pending_.size() - 8);
          return;
        }
        pending_.erase(0, end + 5);
        inData_ = false;
        chunks_.push_back("250 queued\r\n");
        continue;
      }
      const std::size_t end = pending_.find('\n');
      if (end == std::string::npos) return;
      const std::string line = pending_.substr(0, end + 1);
      pending_.erase(0, end + 1);
      chunks_.push_back(ReplyTo(line));
    }
  }
  std::string ReplyTo(const std::string& line) {
    auto starts = [&line](const char* word) {
      return line.compare(0, std::strlen(word), word) == 0;
    };
    if (pop_) return "+OK\r\n";
    if (starts("EHLO")) {
      return startTls_ ? "250-hello\r\n250-STARTTLS\r\n250 AUTH LOGIN PLAIN\r\n"
                       : "250-hello\r\n250 AUTH LOGIN CRAM-MD5\r\n";
    }
    if (starts("STARTTLS")) {
      chunks_.push_back("220 go\r\n");
      return kWouldBlockChunk;  // nothing behind the 220 until the handshake
    }
    if (starts("AUTH PLAIN")) return "235 ok\r\n";
    if (starts("AUTH")) return "334 " + challenge_ + "\r\n";
    if (starts("DATA")) {
      inData_ = true;
      return "354 go\r\n";
    }
    if (starts("QUIT")) return "221 bye\r\n";
    if (starts("MAIL") || starts("RCPT") || starts("HELO") || starts("RSET")) {
      return "250 ok\r\n";
    }
    return "235 accepted\r\n";  // the CRAM-MD5 response line
  }

  Report unmodelled_;
  int connections_ = 0;
  std::deque<std::string> chunks_;
  bool answering_ = false;
  bool startTls_ = false;
  bool pop_ = false;
  bool inData_ = false;
  std::uint16_t popPort_ = 0;
  std::string challenge_;
  std::string pending_;
  std::size_t filePosition_ = 0;
};

}  // namespace fuzzing
}  // namespace tarnlet

#endif  // TARNLET_FUZZ_FAKE_SERVER_PLATFORM_H_
