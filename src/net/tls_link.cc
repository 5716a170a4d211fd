#include "net/tls_link.h"

#include <cstring>

#include "frame/globals.h"
#include "net/decimal.h"
#include "net/receive_once.h"

namespace tarnlet {
namespace {

// A call has at most its POP3 and its SMTP connection; a call runs on one
// thread from start to end.
struct Link {
  SocketHandle socket;
  TlsHandle tls;
};
constexpr int kLinks = 2;
thread_local Link t_links[kLinks] = {{kInvalidSocket, nullptr}, {kInvalidSocket, nullptr}};

Link* Find(SocketHandle socket) {
  for (Link& link : t_links) {
    if (link.tls != nullptr && link.socket == socket) return &link;
  }
  return nullptr;
}

bool Remember(SocketHandle socket, TlsHandle tls) {
  for (Link& link : t_links) {
    if (link.tls != nullptr) continue;
    link = {socket, tls};
    return true;
  }
  return false;
}

void LogFailure(MailSender& sender, const TlsStep& step) {
  sender.WriteLog(step.certificate ? LogLine::kTlsCertificateNg : LogLine::kTlsHandshakeNg,
                  step.error);
}

}  // namespace

TlsHandle TlsSessionOf(SocketHandle socket) {
  const Link* link = Find(socket);
  return link != nullptr ? link->tls : nullptr;
}

bool StartTlsSession(MailSender& sender, SocketHandle socket, const char* host) {
  Platform& platform = CurrentPlatform();
  int error = 0;
  TlsHandle tls = platform.StartTls(socket, host, &error);
  if (tls == nullptr) {
    sender.WriteLog(LogLine::kTlsStartNg, error);
    return false;
  }
  std::uint32_t counter = 0;
  for (;;) {
    const TlsStep step = platform.ContinueTls(tls);
    if (step.progress == TlsProgress::kDone) break;
    if (step.progress == TlsProgress::kFailed) {
      LogFailure(sender, step);
      platform.CloseTls(tls);
      return false;
    }
    if (!sender.PollWait(&counter)) {
      platform.CloseTls(tls);
      return false;
    }
  }
  if (!Remember(socket, tls)) {
    sender.WriteLog(LogLine::kTlsStartNg, 0);
    platform.CloseTls(tls);
    return false;
  }
  return true;
}

IoResult ConnectionSend(SocketHandle socket, const char* data, std::size_t length) {
  TlsHandle tls = TlsSessionOf(socket);
  Platform& platform = CurrentPlatform();
  return tls != nullptr ? platform.TlsSend(tls, data, length) : platform.Send(socket, data, length);
}

IoResult ConnectionReceive(SocketHandle socket, char* buffer, std::size_t capacity) {
  TlsHandle tls = TlsSessionOf(socket);
  Platform& platform = CurrentPlatform();
  return tls != nullptr ? platform.TlsReceive(tls, buffer, capacity)
                        : platform.Receive(socket, buffer, capacity);
}

void CloseConnection(SocketHandle socket) {
  Platform& platform = CurrentPlatform();
  if (Link* link = Find(socket)) {
    platform.CloseTls(link->tls);
    *link = {kInvalidSocket, nullptr};
  }
  platform.CloseSocket(socket);
}

bool ReadStartTlsReply(MailSender& sender, SocketHandle socket, std::int32_t* code) {
  *code = 0;
  char buffer[kReceiveBufferSize];
  const long n = ReceiveOnce(sender, socket, buffer, LogLine::kReceiveNg);
  if (n < 0) return false;
  if (n < 5) {
    sender.WriteLog(LogLine::kReplyTooShort, n);
    return false;
  }
  *code = DecimalPrefix(buffer, 3);
  if (*code != 220) {
    sender.SendQuit(socket);
    sender.WriteLog(LogLine::kReplyCodeNg);
    return false;
  }
  // Whatever follows the 220 line was sent before the handshake, so it
  // could be read as if it came from inside TLS: refuse it.
  const char* end =
      static_cast<const char*>(std::memchr(buffer, '\n', static_cast<std::size_t>(n)));
  if (end == nullptr) return false;
  long extra = n - (end - buffer + 1);
  if (extra == 0) {
    char probe[1];
    const IoResult more = CurrentPlatform().Receive(socket, probe, sizeof probe);
    if (more.count > 0) extra = more.count;
  }
  if (extra > 0) {
    sender.WriteLog(LogLine::kStartTlsInjectedNg, extra);
    return false;
  }
  return true;
}

}  // namespace tarnlet
