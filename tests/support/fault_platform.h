// The one platform the tests and fuzzers install: it counts every call,
// names the step of the exchange each call belongs to, makes a chosen call
// fail (the nth of a kind, or the send that carries a given text), and
// tracks what is open so a test can prove every socket, file and heap block
// was released. It forwards to a backend the test chooses: the native one
// for loopback transcripts, or the in-memory fake server, which reports any
// call it does not model instead of making it. It overrides every call of
// the seam, so a call added there fails to build until it is modelled here.
// Header only: the fuzzers link no test library. Safe for concurrent calls;
// faults, routes and mappings are planned before the calls start.
#ifndef TARNLET_TESTS_SUPPORT_FAULT_PLATFORM_H_
#define TARNLET_TESTS_SUPPORT_FAULT_PLATFORM_H_

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/pinned_clock.h"

namespace tarnlet {
namespace testing {

enum class Call {
  kOpenLock,
  kWaitLock,
  kReleaseLock,
  kCloseLock,
  kStartup,
  kCleanup,
  kCreateSocket,
  kConnect,
  kSetNonBlocking,
  kSend,
  kReceive,
  kCloseSocket,
  kStartTls,
  kContinueTls,
  kTlsSend,
  kTlsReceive,
  kCloseTls,
  kResolve,
  kSleep,
  kEntropySeed,
  kAppendLog,
  kOpenFile,
  kSeek,
  kRead,
  kCloseFile,
  kReadProfile,
  kAllocate,
  kRelease,
  kPostForm,
  kReadEnvironment,
  kKnownFolder,
  kReadSections,
  kCheckPrivacy,
  kReplaceFile,
  kRemoveFile,
  kLockFile,
  kUnlockFile,
  kProtect,
  kUnprotect,
  kMonotonic,
  kCount
};

class FaultPlatform : public Platform {
 public:
  // One call as it happened, with the step it belonged to: "POP" for any
  // call of a POP3 connection; for SMTP the first word of the command the
  // call sends or answers ("greet" before the first, "RESPONSE" for the
  // CRAM-MD5 answer), "content" for message text and "END" for the block
  // with the end-of-data marker; "none" before any connection.
  struct Event {
    Call call;
    std::string step;
  };

  explicit FaultPlatform(Platform& backend = NativePlatform()) : backend_(backend) {}

  // Makes the nth call (1-based, counted from now) of kind fail with error.
  // A failing kSend with shortBy > 0 instead accepts shortBy fewer bytes.
  // A failing kResolve reports LookupResult::kOther; see ResolveNth.
  void FailNth(Call kind, int nth, int error = 0, std::size_t shortBy = 0) {
    Plan(kind, nth, Effect::kFail, error, shortBy);
  }
  // Every later call of kind fails with error.
  void FailEvery(Call kind, int error) {
    Plan(kind, 0, Effect::kFail, error, 0, LookupResult::kOther, "", true);
  }
  // Fails the nth later send that carries text ("Cc: ", "QUIT"): one that
  // begins with it, or, when text ends in a line end, one that is exactly
  // text. Names the failing step by what it sends, not by its position.
  void FailSendOf(const std::string& text, int error, int nth = 1) {
    std::lock_guard<std::mutex> guard(mutex_);
    sendFaults_.push_back({text, error, nth});
  }
  // The nth send or receive (counted from now) finds nothing to do yet:
  // it reports "would block" without touching the socket.
  void WouldBlockNth(Call kind, int nth) { Plan(kind, nth, Effect::kWouldBlock); }
  // A receive that finds the connection closed by the peer (count 0).
  void PeerClosesAtNthReceive(int nth) { Plan(Call::kReceive, nth, Effect::kPeerClosed); }
  // The nth resolve (counted from now) returns result without asking the
  // backend; with kOk, dotted (at most 15 characters) is the address.
  void ResolveNth(int nth, LookupResult result, const std::string& dotted = "", int error = 0) {
    Plan(Call::kResolve, nth, Effect::kLookup, error, 0, result, dotted);
  }
  // Every later resolve of name gives dotted, without asking the backend.
  void MapHost(const std::string& name, const std::string& dotted) { hosts_[name] = dotted; }
  // Names ending in suffix are not found (error), without asking the backend.
  void MissingHostsUnder(const std::string& suffix, int error) {
    missingSuffix_ = suffix;
    missingError_ = error;
  }
  // A connect to port from reaches port to (587 cannot be listened on).
  void RoutePort(std::uint16_t from, std::uint16_t to) { routes_[from] = to; }
  // An open of path from opens path to; every path asked for is kept.
  void MapPath(const std::string& from, const std::string& to) { paths_[from] = to; }
  std::vector<std::string> OpenedPaths() { return Locked(openedPaths_); }
  // Called before each socket close reaches the backend.
  void OnCloseSocket(std::function<void()> hook) { onClose_ = std::move(hook); }
  // The first connection of a call is POP3's (POP before SMTP).
  void PopConnectionFirst(bool first = true) { popFirst_ = first; }

  int Count(Call kind) {
    std::lock_guard<std::mutex> guard(mutex_);
    return counts_[static_cast<int>(kind)];
  }
  std::vector<Event> Trace() { return Locked(trace_); }
  // The step of the nth call of kind; "" when there was none.
  std::string StepOf(Call kind, int nth) {
    int seen = 0;
    for (const Event& event : Trace()) {
      if (event.call == kind && ++seen == nth) return event.step;
    }
    return "";
  }

  int OpenSockets() { return openSockets_; }
  int OpenFiles() { return openFiles_; }
  long LiveBlocks() { return liveBlocks_; }
  unsigned Sleeps() { return static_cast<unsigned>(Count(Call::kSleep)); }
  unsigned long SleptMilliseconds() { return sleptMilliseconds_; }
  // Sleeps are counted but return at once.
  void SkipSleeps(bool skip = true) { skipSleeps_ = skip; }
  // Each sleep lasts at most milliseconds, so time-out paths run in
  // milliseconds; SleptMilliseconds still counts what was asked.
  void SleepAtMost(unsigned milliseconds) { sleepCap_ = milliseconds; }

  // --- OAuth ---
  // What the token endpoint answers: the answer and the body for a request
  // of form to url. Without it a token request reaches the backend.
  using TokenEndpoint = std::function<HttpsAnswer(const std::string& url, const std::string& form,
                                                  std::string* body)>;
  void AnswerTokenRequests(TokenEndpoint endpoint) { endpoint_ = std::move(endpoint); }
  struct TokenRequest {
    std::string url;
    std::string form;
  };
  std::vector<TokenRequest> TokenRequests() { return Locked(tokenRequests_); }
  // The environment the library sees: only what a test sets (nothing of
  // the machine's, so no test meets the developer's own profiles).
  void SetEnvironment(const std::string& name, const std::string& value) { env_[name] = value; }
  // The library's folders: none unless a test names them (with the
  // separator at the end).
  void SetKnownFolder(KnownFolder folder, const std::string& path) {
    folders_[static_cast<int>(folder)] = path;
  }
  // A failing kCheckPrivacy reports the file open to others when error is
  // 0, else unreadable with error; a failing kLockFile reports it busy when
  // error is 0.
  int HeldFileLocks() { return heldLocks_; }
  void AdvanceSeconds(std::uint64_t seconds) { secondsAhead_ += seconds; }

  // Pins the clock (Date, Message-Id, log stamps) and the random seed.
  void PinTime(const LocalTime& time = kPinnedTime) {
    pinnedTime_ = time;
    timePinned_ = true;
    PinSeed(kPinnedSeed);
  }
  void PinSeed(std::uint32_t seed) {
    seed_ = seed;
    seedPinned_ = true;
  }

  // --- the Platform calls ---
  LockHandle OpenCallLock() override {
    Next(Call::kOpenLock);
    return backend_.OpenCallLock();
  }
  void WaitCallLock(LockHandle lock) override {
    backend_.WaitCallLock(lock);
    Next(Call::kWaitLock);  // after the wait: the order in which calls got in
  }
  void ReleaseCallLock(LockHandle lock) override {
    Next(Call::kReleaseLock);
    backend_.ReleaseCallLock(lock);
  }
  void CloseCallLock(LockHandle lock) override {
    Next(Call::kCloseLock);
    backend_.CloseCallLock(lock);
  }
  int StartupSockets() override {
    if (const Fault* fault = Next(Call::kStartup)) return fault->error != 0 ? fault->error : -1;
    return backend_.StartupSockets();
  }
  void CleanupSockets() override {
    Next(Call::kCleanup);
    backend_.CleanupSockets();
  }
  SocketHandle CreateTcpSocket(int* error) override {
    {
      std::lock_guard<std::mutex> guard(mutex_);
      ++connections_;
      step_ = popFirst_ && connections_ == 1 ? "POP" : "greet";
    }
    if (const Fault* fault = Next(Call::kCreateSocket)) {
      *error = fault->error;
      return kInvalidSocket;
    }
    SocketHandle socket = backend_.CreateTcpSocket(error);
    if (socket != kInvalidSocket) ++openSockets_;
    return socket;
  }
  bool ConnectIpv4(SocketHandle socket, const char* dotted, std::uint16_t port,
                   int* error) override {
    if (const Fault* fault = Next(Call::kConnect)) {
      *error = fault->error;
      return false;
    }
    auto route = routes_.find(port);
    return backend_.ConnectIpv4(socket, dotted, route != routes_.end() ? route->second : port,
                                error);
  }
  bool SetNonBlocking(SocketHandle socket, int* error) override {
    if (const Fault* fault = Next(Call::kSetNonBlocking)) {
      *error = fault->error;
      return false;
    }
    return backend_.SetNonBlocking(socket, error);
  }
  IoResult Send(SocketHandle socket, const char* data, std::size_t length) override {
    const std::string bytes(data, length);
    int namedError = 0;
    const Fault* fault = nullptr;
    {
      // Under a TLS session the socket carries records: the step and the
      // named faults follow the session's own sends.
      std::lock_guard<std::mutex> guard(mutex_);
      if (!UnderTls(socket)) {
        NameStep(bytes);
        namedError = TakeSendFault(bytes);
      }
    }
    fault = Next(Call::kSend);
    if (namedError != 0) return {-1, namedError, false};
    if (fault != nullptr) {
      if (fault->effect == Effect::kWouldBlock) return {-1, 0, true};
      if (fault->shortBy == 0) return {-1, fault->error, false};
      if (length <= fault->shortBy) return {0, 0, false};
      return backend_.Send(socket, data, length - fault->shortBy);
    }
    return backend_.Send(socket, data, length);
  }
  IoResult Receive(SocketHandle socket, char* buffer, std::size_t capacity) override {
    {
      std::lock_guard<std::mutex> guard(mutex_);
      if (UnderTls(socket)) ++wireReads_;
    }
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
    return backend_.Receive(socket, buffer, capacity);
  }
  void CloseSocket(SocketHandle socket) override {
    if (onClose_) onClose_();
    Next(Call::kCloseSocket);
    if (socket != kInvalidSocket) --openSockets_;
    backend_.CloseSocket(socket);
  }
  int ConnectionResetError() override { return backend_.ConnectionResetError(); }
  // A failing kStartTls returns no session; a failing kContinueTls fails
  // the handshake (a certificate refusal when shortBy is 1). Sends inside
  // TLS are named and faulted by text as the plain ones are; the records
  // they become go through Send and Receive, which count and fault them.
  TlsHandle StartTls(SocketHandle socket, TlsWire& wire, const char* host, int* error) override {
    {
      std::lock_guard<std::mutex> guard(mutex_);
      tlsHosts_.push_back(host);
    }
    if (const Fault* fault = Next(Call::kStartTls)) {
      *error = fault->error;
      return nullptr;
    }
    TlsHandle tls = backend_.StartTls(socket, wire, host, error);
    if (tls != nullptr) {
      ++openTls_;
      std::lock_guard<std::mutex> guard(mutex_);
      tlsSockets_[tls] = socket;
    }
    return tls;
  }
  TlsStep ContinueTls(TlsHandle tls) override {
    if (const Fault* fault = Next(Call::kContinueTls)) {
      if (fault->effect == Effect::kWouldBlock) return {TlsProgress::kWouldBlock, false, 0};
      return {TlsProgress::kFailed, fault->shortBy == 1, fault->error};
    }
    return backend_.ContinueTls(tls);
  }
  IoResult TlsSend(TlsHandle tls, const char* data, std::size_t length) override {
    const std::string bytes(data, length);
    int namedError = 0;
    {
      std::lock_guard<std::mutex> guard(mutex_);
      NameStep(bytes);
      namedError = TakeSendFault(bytes);
    }
    const Fault* fault = Next(Call::kTlsSend);
    if (namedError != 0) return {-1, namedError, false};
    if (fault != nullptr) {
      if (fault->effect == Effect::kWouldBlock) return {-1, 0, true};
      return {-1, fault->error, false};
    }
    return backend_.TlsSend(tls, data, length);
  }
  IoResult TlsReceive(TlsHandle tls, char* buffer, std::size_t capacity) override {
    if (const Fault* fault = Next(Call::kTlsReceive)) {
      if (fault->effect == Effect::kWouldBlock) return {-1, 0, true};
      if (fault->effect == Effect::kPeerClosed) return {0, 0, false};
      return {-1, fault->error, false};
    }
    wireReads_ = 0;
    const IoResult result = backend_.TlsReceive(tls, buffer, capacity);
    mostWireReads_ = std::max(mostWireReads_.load(), wireReads_.load());
    return result;
  }
  // The most receives on the socket that one receive inside TLS made: the
  // work one call does without the caller counting a poll step.
  int MostWireReadsInOneTlsReceive() { return mostWireReads_; }
  void CloseTls(TlsHandle tls) override {
    Next(Call::kCloseTls);
    if (tls != nullptr) --openTls_;
    backend_.CloseTls(tls);
    std::lock_guard<std::mutex> guard(mutex_);
    tlsSockets_.erase(tls);
  }
  void DescribeTls(TlsHandle tls, char* out, std::size_t capacity) override {
    backend_.DescribeTls(tls, out, capacity);
  }
  // The host names handshakes were started for.
  std::vector<std::string> TlsHosts() { return Locked(tlsHosts_); }
  int OpenTlsSessions() { return openTls_; }
  LookupResult ResolveIpv4(const char* name, char* out, int* error) override {
    if (const Fault* fault = Next(Call::kResolve)) {
      *error = fault->error;
      if (fault->effect != Effect::kLookup) return LookupResult::kOther;
      if (fault->lookup == LookupResult::kOk) CopyDotted(fault->dotted, out);
      return fault->lookup;
    }
    auto mapped = hosts_.find(name);
    if (mapped != hosts_.end()) {
      CopyDotted(mapped->second, out);
      *error = 0;
      return LookupResult::kOk;
    }
    const std::size_t length = std::strlen(name);
    const std::size_t suffix = missingSuffix_.size();
    if (suffix > 0 && length >= suffix && missingSuffix_.compare(name + length - suffix) == 0) {
      *error = missingError_;
      return LookupResult::kHostNotFound;
    }
    return backend_.ResolveIpv4(name, out, error);
  }
  void SleepMilliseconds(unsigned milliseconds) override {
    Next(Call::kSleep);
    sleptMilliseconds_ += milliseconds;
    if (!skipSleeps_) backend_.SleepMilliseconds(std::min(milliseconds, sleepCap_.load()));
  }
  LocalTime LocalNow() override { return timePinned_ ? pinnedTime_ : backend_.LocalNow(); }
  std::uint32_t EntropySeed() override {
    Next(Call::kEntropySeed);
    return seedPinned_ ? seed_ : backend_.EntropySeed();
  }
  bool AppendLogLine(const char* path, const char* line) override {
    Next(Call::kAppendLog);
    return backend_.AppendLogLine(path, line);
  }
  FileHandle OpenForReading(const char* path, int* error) override {
    std::string target = path;
    {
      std::lock_guard<std::mutex> guard(mutex_);
      openedPaths_.push_back(path);
      auto mapped = paths_.find(target);
      if (mapped != paths_.end()) target = mapped->second;
    }
    if (const Fault* fault = Next(Call::kOpenFile)) {
      *error = fault->error;
      return kInvalidFile;
    }
    FileHandle file = backend_.OpenForReading(target.c_str(), error);
    if (file != kInvalidFile) ++openFiles_;
    return file;
  }
  bool SeekToStart(FileHandle file) override {
    return Next(Call::kSeek) == nullptr && backend_.SeekToStart(file);
  }
  bool ReadChunk(FileHandle file, void* buffer, std::size_t capacity, std::size_t* got) override {
    if (Next(Call::kRead) != nullptr) {
      *got = 0;
      return false;
    }
    return backend_.ReadChunk(file, buffer, capacity, got);
  }
  void CloseFile(FileHandle file) override {
    Next(Call::kCloseFile);
    if (file != kInvalidFile) --openFiles_;
    backend_.CloseFile(file);
  }
  std::size_t ReadProfileString(const char* path, const char* section, const char* key, char* out,
                                std::size_t capacity) override {
    Next(Call::kReadProfile);
    return backend_.ReadProfileString(path, section, key, out, capacity);
  }
  void* Allocate(std::size_t size) override {
    if (Next(Call::kAllocate) != nullptr) return nullptr;
    void* block = backend_.Allocate(size);
    if (block != nullptr) ++liveBlocks_;
    return block;
  }
  void Release(void* block) override {
    Next(Call::kRelease);
    if (block != nullptr) --liveBlocks_;
    backend_.Release(block);
  }
  HttpsAnswer PostForm(const char* url, const char* form, std::size_t formLength,
                       unsigned timeoutSeconds, char* body, std::size_t capacity) override {
    {
      std::lock_guard<std::mutex> guard(mutex_);
      tokenRequests_.push_back({url, std::string(form, formLength)});
    }
    if (const Fault* fault = Next(Call::kPostForm)) {
      return {HttpsOutcome::kUnreachable, 0, fault->error, 0, false};
    }
    if (!endpoint_) return backend_.PostForm(url, form, formLength, timeoutSeconds, body, capacity);
    std::string text;
    HttpsAnswer answer = endpoint_(url, std::string(form, formLength), &text);
    answer.bodyLength = std::min(text.size(), capacity);
    answer.bodyTooLong = text.size() > capacity;
    std::memcpy(body, text.data(), answer.bodyLength);
    return answer;
  }
  bool ReadEnvironment(const char* name, char* out, std::size_t capacity) override {
    auto it = env_.find(name);
    if (Next(Call::kReadEnvironment) != nullptr || it == env_.end()) return false;
    return CopyOut(it->second, out, capacity);
  }
  bool FindKnownFolder(KnownFolder folder, char* out, std::size_t capacity) override {
    auto it = folders_.find(static_cast<int>(folder));
    if (Next(Call::kKnownFolder) != nullptr || it == folders_.end()) return false;
    return CopyOut(it->second, out, capacity);
  }
  bool ReadProfileSections(const char* path, char* out, std::size_t capacity) override {
    if (Next(Call::kReadSections) != nullptr) return false;
    return backend_.ReadProfileSections(path, out, capacity);
  }
  FilePrivacy CheckPrivacy(const char* path, int* error) override {
    if (const Fault* fault = Next(Call::kCheckPrivacy)) {
      *error = fault->error;
      return fault->error == 0 ? FilePrivacy::kOpenToOthers : FilePrivacy::kUnreadable;
    }
    return backend_.CheckPrivacy(path, error);
  }
  bool ReplaceFile(const char* path, const char* data, std::size_t size, int* error) override {
    if (const Fault* fault = Next(Call::kReplaceFile)) {
      *error = fault->error;
      return false;
    }
    return backend_.ReplaceFile(path, data, size, error);
  }
  bool RemoveFile(const char* path, int* error) override {
    if (const Fault* fault = Next(Call::kRemoveFile)) {
      *error = fault->error;
      return false;
    }
    return backend_.RemoveFile(path, error);
  }
  LockHandle TryLockFile(const char* path, bool* busy, int* error) override {
    if (const Fault* fault = Next(Call::kLockFile)) {
      *busy = fault->error == 0;
      *error = fault->error;
      return nullptr;
    }
    LockHandle lock = backend_.TryLockFile(path, busy, error);
    if (lock != nullptr) ++heldLocks_;
    return lock;
  }
  void UnlockFile(LockHandle lock) override {
    Next(Call::kUnlockFile);
    if (lock != nullptr) --heldLocks_;
    backend_.UnlockFile(lock);
  }
  bool ProtectSecret(const char* data, std::size_t size, char* out, std::size_t capacity,
                     std::size_t* sizeOut) override {
    if (Next(Call::kProtect) != nullptr) return false;
    return backend_.ProtectSecret(data, size, out, capacity, sizeOut);
  }
  bool UnprotectSecret(const char* data, std::size_t size, char* out, std::size_t capacity,
                       std::size_t* sizeOut) override {
    if (Next(Call::kUnprotect) != nullptr) return false;
    return backend_.UnprotectSecret(data, size, out, capacity, sizeOut);
  }
  std::uint64_t MonotonicSeconds() override {
    Next(Call::kMonotonic);
    return backend_.MonotonicSeconds() + secondsAhead_;
  }

 private:
  enum class Effect { kFail, kWouldBlock, kPeerClosed, kLookup };
  struct Fault {
    Call kind;
    int callNumber;  // absolute, 1-based
    bool every;      // and every later one
    Effect effect;
    int error;
    std::size_t shortBy;
    LookupResult lookup;
    std::string dotted;
  };
  struct SendFault {
    std::string text;
    int error;
    int left;  // matching sends until the one that fails
  };

  void Plan(Call kind, int nth, Effect effect, int error = 0, std::size_t shortBy = 0,
            LookupResult lookup = LookupResult::kOther, const std::string& dotted = "",
            bool every = false) {
    std::lock_guard<std::mutex> guard(mutex_);
    const int number = counts_[static_cast<int>(kind)] + nth;
    faults_.push_back({kind, number, every, effect, error, shortBy, lookup, dotted});
  }
  // Counts one call of kind, records it with its step and returns the
  // fault planned for it, if any. Faults are never removed, so the pointer
  // stays valid while no new one is planned.
  const Fault* Next(Call kind) {
    std::lock_guard<std::mutex> guard(mutex_);
    const int number = ++counts_[static_cast<int>(kind)];
    trace_.push_back({kind, step_});
    for (const Fault& fault : faults_) {
      if (fault.kind != kind) continue;
      if (fault.callNumber == number || (fault.every && number > fault.callNumber)) return &fault;
    }
    return nullptr;
  }
  // REQUIRES: mutex_ held.
  bool UnderTls(SocketHandle socket) const {
    for (const auto& session : tlsSockets_) {
      if (session.second == socket) return true;
    }
    return false;
  }
  // REQUIRES: mutex_ held.
  int TakeSendFault(const std::string& bytes) {
    for (auto it = sendFaults_.begin(); it != sendFaults_.end(); ++it) {
      const std::string& text = it->text;
      const bool whole = !text.empty() && text.back() == '\n';
      if (whole ? bytes != text : bytes.compare(0, text.size(), text) != 0) continue;
      if (--it->left > 0) continue;
      const int error = it->error;
      sendFaults_.erase(it);
      return error;
    }
    return 0;
  }
  // REQUIRES: mutex_ held.
  void NameStep(const std::string& bytes) {
    if (step_ == "POP") return;
    if (step_ == "DATA" && bytes.rfind("DATA", 0) != 0) step_ = "content";
    if (step_ == "content") {
      if (bytes.size() >= 5 && bytes.compare(bytes.size() - 5, 5, "\r\n.\r\n") == 0) step_ = "END";
      return;
    }
    step_ = bytes.substr(0, bytes.find_first_of(" \r"));
    static const char* const kCommands[] = {"HELO", "EHLO", "STARTTLS", "AUTH", "MAIL",
                                            "RCPT", "DATA", "RSET",     "QUIT"};
    for (const char* command : kCommands) {
      if (step_ == command) return;
    }
    step_ = "RESPONSE";
  }
  static bool CopyOut(const std::string& text, char* out, std::size_t capacity) {
    if (text.size() + 1 > capacity) return false;
    std::memcpy(out, text.c_str(), text.size() + 1);
    return true;
  }
  static void CopyDotted(const std::string& dotted, char* out) {
    std::strncpy(out, dotted.c_str(), 15);
    out[15] = '\0';
  }
  template <typename T>
  T Locked(const T& value) {
    std::lock_guard<std::mutex> guard(mutex_);
    return value;
  }

  Platform& backend_;
  std::mutex mutex_;
  int counts_[static_cast<int>(Call::kCount)] = {};
  std::vector<Fault> faults_;
  std::vector<SendFault> sendFaults_;
  std::vector<Event> trace_;
  std::string step_ = "none";
  int connections_ = 0;
  bool popFirst_ = false;
  std::map<std::string, std::string> hosts_;
  std::string missingSuffix_;
  int missingError_ = 0;
  std::map<std::uint16_t, std::uint16_t> routes_;
  std::map<std::string, std::string> paths_;
  std::vector<std::string> openedPaths_;
  std::function<void()> onClose_;
  std::atomic<int> openSockets_{0};
  std::atomic<int> openTls_{0};
  std::vector<std::string> tlsHosts_;
  std::map<TlsHandle, SocketHandle> tlsSockets_;
  std::atomic<int> wireReads_{0};
  std::atomic<int> mostWireReads_{0};
  std::atomic<int> openFiles_{0};
  std::atomic<long> liveBlocks_{0};
  std::atomic<unsigned long> sleptMilliseconds_{0};
  bool skipSleeps_ = false;
  std::atomic<unsigned> sleepCap_{~0u};
  bool timePinned_ = false;
  LocalTime pinnedTime_ = {};
  bool seedPinned_ = false;
  std::uint32_t seed_ = 0;
  TokenEndpoint endpoint_;
  std::vector<TokenRequest> tokenRequests_;
  std::map<std::string, std::string> env_;
  std::map<int, std::string> folders_;
  std::atomic<int> heldLocks_{0};
  std::atomic<std::uint64_t> secondsAhead_{0};
};

// Installs a platform for the lifetime of the object and restores the one
// installed before.
class ScopedPlatform {
 public:
  explicit ScopedPlatform(Platform& platform) {
    Platform& current = CurrentPlatform();
    previous_ = &current == &NativePlatform() ? nullptr : &current;
    InstallPlatform(&platform);
  }
  ~ScopedPlatform() { InstallPlatform(previous_); }
  ScopedPlatform(const ScopedPlatform&) = delete;
  ScopedPlatform& operator=(const ScopedPlatform&) = delete;

 private:
  Platform* previous_;
};

}  // namespace testing
}  // namespace tarnlet

#endif  // TARNLET_TESTS_SUPPORT_FAULT_PLATFORM_H_
