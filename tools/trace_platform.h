// The platform the command installs around its one call of the library:
// it forwards every call to the system and watches the sockets, so the
// trace, the status line and the report of a failure show exactly what
// went over the wire. It never changes what is sent or received.
#ifndef TARNLET_TOOLS_TRACE_PLATFORM_H_
#define TARNLET_TOOLS_TRACE_PLATFORM_H_

#include <chrono>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

#include "dialogue_watch.h"
#include "platform/platform_wrapper.h"
#include "progress_line.h"

namespace tarnlet {
namespace tool {

struct WatchOptions {
  bool trace = false;        // C: and S: lines on err as they happen
  bool fullContent = false;  // with trace: every line of the message content
  bool progress = false;     // the status line (err is a terminal)
  std::size_t columns = 80;
  bool popFirst = false;  // the call logs in to POP3 first
  std::uint64_t expectedContentBytes = 0;
};

class TracePlatform : public PlatformWrapper {
 public:
  TracePlatform(const WatchOptions& options, std::ostream& err);
  ~TracePlatform() override;

  // Runs call with this platform installed and removes it afterwards; the
  // status line is gone when it returns.
  std::int32_t Run(const std::function<std::int32_t()>& call);

  const DialogueWatch& dialogue() const { return watch_; }

  bool ConnectIpv4(SocketHandle socket, const char* dotted, std::uint16_t port,
                   int* error) override;
  IoResult Send(SocketHandle socket, const char* data, std::size_t length) override;
  IoResult Receive(SocketHandle socket, char* buffer, std::size_t capacity) override;
  void CloseSocket(SocketHandle socket) override;
  // Inside TLS the dialogue is watched as it is before encryption; the
  // records on the socket are not shown.
  TlsHandle StartTls(SocketHandle socket, TlsWire& wire, const char* host, int* error) override;
  IoResult TlsSend(TlsHandle tls, const char* data, std::size_t length) override;
  IoResult TlsReceive(TlsHandle tls, char* buffer, std::size_t capacity) override;
  TlsStep ContinueTls(TlsHandle tls) override;
  void CloseTls(TlsHandle tls) override;
  LookupResult ResolveIpv4(const char* name, char* out, int* error) override;
  void SleepMilliseconds(unsigned milliseconds) override;

 private:
  using Clock = std::chrono::steady_clock;

  void Print(const TraceLine& line);
  // Redraws the status line when it is due, or at once beforeBlocking.
  void Tick(bool beforeBlocking = false);

  WatchOptions options_;
  std::ostream& err_;
  DialogueWatch watch_;
  ProgressLine progress_;
  SocketHandle socket_ = kInvalidSocket;  // the connection being watched
  TlsHandle tls_ = nullptr;               // its TLS session, if any
  bool handshaking_ = false;
  std::string handshakeBytes_;  // what the server sent during the handshake
  Clock::time_point started_;
  Clock::time_point drawn_;
  Clock::time_point stepSince_;
  Clock::time_point contentSince_;
  std::string step_;
  bool inContent_ = false;
};

}  // namespace tool
}  // namespace tarnlet

#endif  // TARNLET_TOOLS_TRACE_PLATFORM_H_
