#include "net/connection.h"

namespace tarnlet {

bool Connection::StartTls(MailSender& sender, const char* host) {
  Platform& platform = CurrentPlatform();
  int error = 0;
  tls_ = platform.StartTls(socket_, *this, host, &error);
  if (tls_ == nullptr) {
    sender.WriteLog(LogLine::kTlsStartNg, error);
    return false;
  }
  std::uint32_t counter = 0;
  for (;;) {
    const TlsStep step = platform.ContinueTls(tls_);
    if (step.progress == TlsProgress::kDone) {
      secure_ = true;
      return true;
    }
    if (step.progress == TlsProgress::kFailed) {
      sender.WriteLog(step.certificate ? LogLine::kTlsCertificateNg : LogLine::kTlsHandshakeNg,
                      step.error);
      return false;
    }
    if (!sender.PollWait(&counter)) return false;
  }
}

IoResult Connection::Send(const char* data, std::size_t length) {
  return secure_ ? CurrentPlatform().TlsSend(tls_, data, length) : Write(data, length);
}

IoResult Connection::Receive(char* buffer, std::size_t capacity) {
  return secure_ ? CurrentPlatform().TlsReceive(tls_, buffer, capacity) : Read(buffer, capacity);
}

IoResult Connection::Write(const char* data, std::size_t length) {
  return CurrentPlatform().Send(socket_, data, length);
}

IoResult Connection::Read(char* buffer, std::size_t capacity) {
  return CurrentPlatform().Receive(socket_, buffer, capacity);
}

void Connection::Close() {
  Platform& platform = CurrentPlatform();
  if (tls_ != nullptr) platform.CloseTls(tls_);
  tls_ = nullptr;
  secure_ = false;
  if (socket_ != kInvalidSocket) platform.CloseSocket(socket_);
  socket_ = kInvalidSocket;
}

void LogIoFailure(MailSender& sender, const IoResult& result, LogLine line) {
  switch (result.tls) {
    case TlsFault::kCertificate:
      sender.WriteLog(LogLine::kTlsCertificateNg, result.error);
      break;
    case TlsFault::kHandshake:
      sender.WriteLog(LogLine::kTlsHandshakeNg, result.error);
      break;
    case TlsFault::kNone:
      sender.WriteLog(line, result.error);
      break;
  }
}

}  // namespace tarnlet
