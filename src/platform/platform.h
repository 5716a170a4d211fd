// The operating-system seam. The core reaches sockets, files, time, the
// lock, the INI reader and the heap only through CurrentPlatform(), so one
// backend per system (posix/, win32/) serves it, and tests can swap in a
// wrapper that makes exactly one call fail.
#ifndef TARNLET_PLATFORM_PLATFORM_H_
#define TARNLET_PLATFORM_PLATFORM_H_

#include <cstddef>
#include <cstdint>

namespace tarnlet {

using SocketHandle = std::intptr_t;
constexpr SocketHandle kInvalidSocket = -1;

using FileHandle = std::intptr_t;
constexpr FileHandle kInvalidFile = -1;

using LockHandle = void*;

// One client TLS session on a connected socket; null is no session.
using TlsHandle = void*;

// What a TLS failure was, for the log line it gets: none (a plain socket
// failure), the handshake, or the peer's certificate refused.
enum class TlsFault { kNone, kHandshake, kCertificate };

// One send or receive. count >= 0 is the number of bytes moved (0 from a
// receive: the peer closed the connection). count < 0 is a failure: then
// wouldBlock tells the non-blocking "try again later" case apart from a
// real error, whose number is in error; inside TLS, tls says whether the
// session itself failed (a renegotiation, an alert from the peer).
struct IoResult {
  long count;
  int error;
  bool wouldBlock;
  TlsFault tls = TlsFault::kNone;
};

// One step of a TLS handshake: done, waiting for the peer (try again after
// a poll step), or failed. A failure with certificate set is the peer's
// certificate refused (chain, name, dates); error is the number for the
// log line's "%d" (the verifier's reason, or the engine's error number).
enum class TlsProgress { kDone, kWouldBlock, kFailed };
struct TlsStep {
  TlsProgress progress;
  bool certificate;
  int error;
};

// The byte stream under a TLS session: the connection's own socket sends
// and receives, made through the installed platform, so whatever watches
// or faults a socket reaches the records too. Same meaning as Send and
// Receive.
class TlsWire {
 public:
  virtual IoResult Write(const char* data, std::size_t length) = 0;
  virtual IoResult Read(char* buffer, std::size_t capacity) = 0;

 protected:
  ~TlsWire() = default;
};

struct LocalTime {
  int year;
  int month;      // 1-12
  int dayOfWeek;  // 0 Sunday - 6 Saturday
  int day;        // 1-31
  int hour;
  int minute;
  int second;
  int utcOffsetMinutes;  // local time minus UTC at this moment, e.g. +540
};

// The rows of the lookup-error table; each resolver maps its own failures
// onto them.
enum class LookupResult {
  kOk,
  kHostNotFound,  // no such name
  kTryAgain,      // temporary failure
  kNoRecovery,    // non-recoverable failure
  kNoData,        // the name exists but has no address
  kOther,         // anything else, including an empty address list
};

// --- OAuth 2.0 (the token endpoint, profiles and the token cache) ---

// How a token request over HTTPS ended. kAnswered carries the HTTP status
// and the body; the others are the transport's failures, with the
// system's or the HTTP library's number in error.
enum class HttpsOutcome {
  kAnswered,
  kUnreachable,  // no name, no route, refused, a proxy that failed
  kTimedOut,     // the bound passed
  kCertificate,  // the endpoint's certificate refused
  kRefusedUrl,   // not an https:// URL
  kFailed,       // anything else (a broken answer, no memory)
};
struct HttpsAnswer {
  HttpsOutcome outcome;
  int status;              // the HTTP status when answered
  int error;               // the number for a log line's "%d"
  std::size_t bodyLength;  // bytes of the body in the caller's buffer
  bool bodyTooLong;        // the body did not fit: it is cut
};

// The library's folders for the profiles and the token cache.
enum class KnownFolder {
  kUserConfig,     // %APPDATA%\Tarnlet\; $XDG_CONFIG_HOME (~/.config)/tarnlet/
  kMachineConfig,  // %ProgramData%\Tarnlet\; /etc/tarnlet/
  kUserState,      // %LOCALAPPDATA%\Tarnlet\; $XDG_STATE_HOME (~/.local/state)/tarnlet/
};

// Whether a file holding secrets may be used.
enum class FilePrivacy { kPrivate, kMissing, kOpenToOthers, kUnreadable };

class Platform {
 public:
  virtual ~Platform() = default;

  // The library-wide lock. OpenCallLock returns this call's handle to it
  // (possibly null when it could not be had: the call then goes ahead
  // without the lock); Wait/Release/Close accept a null handle.
  virtual LockHandle OpenCallLock() = 0;
  virtual void WaitCallLock(LockHandle lock) = 0;
  virtual void ReleaseCallLock(LockHandle lock) = 0;
  virtual void CloseCallLock(LockHandle lock) = 0;

  // Start and stop of the socket library. StartupSockets returns 0 on
  // success; only a caller whose start-up succeeded calls CleanupSockets.
  virtual int StartupSockets() = 0;
  virtual void CleanupSockets() = 0;

  // IPv4 TCP sockets. Errors are reported as the system's own numbers, which
  // go unchanged into the "%d" of log messages.
  virtual SocketHandle CreateTcpSocket(int* error) = 0;
  // Blocking connect to a dotted IPv4 text and a port in host order. A text
  // that is no valid address fails the connect.
  virtual bool ConnectIpv4(SocketHandle socket, const char* dotted, std::uint16_t port,
                           int* error) = 0;
  virtual bool SetNonBlocking(SocketHandle socket, int* error) = 0;
  virtual IoResult Send(SocketHandle socket, const char* data, std::size_t length) = 0;
  virtual IoResult Receive(SocketHandle socket, char* buffer, std::size_t capacity) = 0;
  virtual void CloseSocket(SocketHandle socket) = 0;
  // The error number of a connection reset by the peer (10054, ECONNRESET).
  virtual int ConnectionResetError() = 0;

  // Client TLS over a connected non-blocking socket. StartTls prepares a
  // session for host (checked against the certificate; sent as SNI when it
  // is a name) that reads and writes only through wire, which must outlive
  // it; or returns null with error set. socket names the connection for
  // platforms that watch sockets. The certificate is always verified
  // against the system's trusted roots. ContinueTls advances the handshake
  // by what has arrived; TlsSend and TlsReceive move application data with
  // the meaning of Send and Receive: TlsSend counts only the caller's bytes
  // that went out in records, TlsReceive returns every application byte
  // that has arrived (count 0: the peer closed). Each call does a bounded
  // amount of work: a peer that keeps sending records that carry no data
  // gets "would block" answers, so the caller's poll steps keep counting.
  // CloseTls ends and frees the session; the socket stays open for
  // CloseSocket.
  virtual TlsHandle StartTls(SocketHandle socket, TlsWire& wire, const char* host, int* error) = 0;
  virtual TlsStep ContinueTls(TlsHandle tls) = 0;
  virtual IoResult TlsSend(TlsHandle tls, const char* data, std::size_t length) = 0;
  virtual IoResult TlsReceive(TlsHandle tls, char* buffer, std::size_t capacity) = 0;
  virtual void CloseTls(TlsHandle tls) = 0;
  // Lines on the session for people, NUL-terminated in out: the version
  // and cipher, then the certificate (subject, issuer, names, dates) and
  // the verifier's verdict, or why the handshake failed. The library never
  // calls it; the command's trace does.
  virtual void DescribeTls(TlsHandle tls, char* out, std::size_t capacity) = 0;

  // Resolves a host name to the dotted text of its first IPv4 address
  // (out holds 16 bytes). error receives the resolver's own code on failure.
  virtual LookupResult ResolveIpv4(const char* name, char* out, int* error) = 0;

  virtual void SleepMilliseconds(unsigned milliseconds) = 0;
  virtual LocalTime LocalNow() = 0;
  // Fresh entropy from the operating system, for seeding once per process.
  virtual std::uint32_t EntropySeed() = 0;

  // Appends line and one line end to the file at path, opened and closed for
  // this line, in text mode: every LF of line, and the line end, are stored
  // as CR LF. The line reaches the file in one piece, never mixed with a
  // line another process appends at the same moment. Returns false when the
  // file could not be opened.
  virtual bool AppendLogLine(const char* path, const char* line) = 0;

  // Attachment files: a read-only open (no sharing where the system has
  // that notion), positioning to the start, reads, close.
  virtual FileHandle OpenForReading(const char* path, int* error) = 0;
  virtual bool SeekToStart(FileHandle file) = 0;
  // Returns false on a read error; *got = 0 at the end of the file.
  virtual bool ReadChunk(FileHandle file, void* buffer, std::size_t capacity, std::size_t* got) = 0;
  virtual void CloseFile(FileHandle file) = 0;

  // Reads one value of an INI (profile) file into out (NUL-terminated, at
  // most capacity - 1 bytes); an empty string when the file, the section or
  // the key is missing. Returns the length of the value.
  virtual std::size_t ReadProfileString(const char* path, const char* section, const char* key,
                                        char* out, std::size_t capacity) = 0;

  // Heap blocks of the library; Allocate returns null when memory is short.
  virtual void* Allocate(std::size_t size) = 0;
  virtual void Release(void* block) = 0;

  // --- OAuth 2.0: kept apart from the calls above ---

  // POSTs form (application/x-www-form-urlencoded) to url, which must be
  // https://; no redirect is followed, the system's trusted roots check
  // the certificate as for StartTls, the system's proxy settings apply, and
  // the whole request is bounded by timeoutSeconds. The body of the answer
  // goes into body (capacity bytes, not NUL-terminated).
  virtual HttpsAnswer PostForm(const char* url, const char* form, std::size_t formLength,
                               unsigned timeoutSeconds, char* body, std::size_t capacity) = 0;
  // The value of an environment variable, NUL-terminated in out; false
  // when it is not set or does not fit.
  virtual bool ReadEnvironment(const char* name, char* out, std::size_t capacity) = 0;
  // The folder's path, ending in the separator; false when it has none.
  virtual bool FindKnownFolder(KnownFolder folder, char* out, std::size_t capacity) = 0;
  // The section names of an INI file, each NUL-terminated, the list ended
  // by an empty name; false when the file cannot be read.
  virtual bool ReadProfileSections(const char* path, char* out, std::size_t capacity) = 0;
  // Whether only its owner can read the file (always so where the system
  // protects a user's own folders instead); error for kUnreadable.
  virtual FilePrivacy CheckPrivacy(const char* path, int* error) = 0;
  // Replaces the file at path with data in one step (a reader sees the old
  // or the new file, never part of one), readable by this user only, making
  // its folder (and those above it) when missing.
  virtual bool ReplaceFile(const char* path, const char* data, std::size_t size, int* error) = 0;
  // Removes the file; true when it is gone (also when it never was).
  virtual bool RemoveFile(const char* path, int* error) = 0;
  // A lock held across processes on the file at path (made when missing).
  // Returns null with *busy set while another process holds it, or with
  // error set when it cannot be had.
  virtual LockHandle TryLockFile(const char* path, bool* busy, int* error) = 0;
  virtual void UnlockFile(LockHandle lock) = 0;
  // Seals a secret for this user (DPAPI on Windows), so it can be stored on
  // disk; false where the system offers no such protection. out holds
  // capacity bytes; *size gets the count.
  virtual bool ProtectSecret(const char* data, std::size_t size, char* out, std::size_t capacity,
                             std::size_t* sizeOut) = 0;
  virtual bool UnprotectSecret(const char* data, std::size_t size, char* out, std::size_t capacity,
                               std::size_t* sizeOut) = 0;
  // Seconds of a clock that never goes back (token lifetimes).
  virtual std::uint64_t MonotonicSeconds() = 0;
};

// The backend compiled into this build.
Platform& NativePlatform();

// The platform every core routine uses: the native one unless another is
// installed.
Platform& CurrentPlatform();

// Makes platform the one every later call uses (null restores the native
// backend). The tarnlet command installs one that watches its own call's
// sockets; tests install fakes. NOT safe while a call is running in any
// thread: install before the first call and remove after the last.
void InstallPlatform(Platform* platform);

}  // namespace tarnlet

#endif  // TARNLET_PLATFORM_PLATFORM_H_
