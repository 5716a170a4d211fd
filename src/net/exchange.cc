#include "net/exchange.h"

#include "net/tls_link.h"

namespace tarnlet {

ResultCode Exchange::Open(const char* dotted, std::uint16_t port, const OpenFailures& failures) {
  Platform& platform = CurrentPlatform();
  int error = 0;
  socket_ = platform.CreateTcpSocket(&error);
  if (socket_ == kInvalidSocket) return GiveUp(failures.socket.line, error, failures.socket.code);
  if (!platform.ConnectIpv4(socket_, dotted, port, &error)) {
    return GiveUp(failures.connect.line, error, failures.connect.code);
  }
  if (!platform.SetNonBlocking(socket_, &error)) {
    return GiveUp(failures.nonBlocking.line, error, failures.nonBlocking.code);
  }
  return 0;
}

ResultCode Exchange::StartTls(const char* host, const char* failLine, ResultCode code) {
  return StartTlsSession(sender_, socket_, host) ? 0 : GiveUp(failLine, code);
}

ResultCode Exchange::ExpectStartTls(const char* failLine, ResultCode code) {
  return ReadStartTlsReply(sender_, socket_, &sender_.lastReplyCode) ? 0 : GiveUp(failLine, code);
}

bool Exchange::Secure() const { return TlsSessionOf(socket_) != nullptr; }

bool Exchange::Send(std::string_view bytes) {
  return sender_.SendAll(socket_, bytes.data(), bytes.size());
}

bool Exchange::ReadReply(int expected) {
  return sender_.ReadReply(socket_, expected, &sender_.lastReplyCode);
}

std::uint8_t Exchange::ReadEhloReply(int expected) {
  return sender_.ReadEhloReply(socket_, expected, &sender_.lastReplyCode);
}

bool Exchange::SendQuit() { return sender_.SendQuit(socket_); }

ResultCode Exchange::Command(std::string_view line, const char* failLine, ResultCode code) {
  return Send(line) ? 0 : GiveUp(failLine, code);
}

ResultCode Exchange::Expect(int expected, const char* failLine, ResultCode code) {
  return ReadReply(expected) ? 0 : GiveUp(failLine, code);
}

ResultCode Exchange::ExpectChallenge(char* out, std::size_t capacity, const char* failLine,
                                     ResultCode code) {
  return sender_.ReadChallenge(socket_, out, capacity) ? 0 : GiveUp(failLine, code);
}

ResultCode Exchange::ExpectPopOk(const char* failLine, ResultCode code) {
  return sender_.ReadPopOk(socket_) ? 0 : GiveUp(failLine, code);
}

ResultCode Exchange::ExpectApopTimestamp(char* out, std::size_t capacity, const char* failLine,
                                         ResultCode code) {
  return sender_.ReadApopTimestamp(socket_, out, capacity) ? 0 : GiveUp(failLine, code);
}

template <typename WriteLine>
ResultCode Exchange::Leave(WriteLine writeLine, ResultCode code) {
  if (order_ == GiveUpOrder::kLogThenClose) writeLine();
  Close();
  if (order_ == GiveUpOrder::kCloseThenLog) writeLine();
  return code;
}

ResultCode Exchange::GiveUp(const char* line, ResultCode code) {
  return Leave([&] { sender_.WriteLog(line); }, code);
}

ResultCode Exchange::GiveUp(const char* format, long value, ResultCode code) {
  return Leave([&] { sender_.WriteLogCode(format, value); }, code);
}

void Exchange::Close() {
  if (socket_ == kInvalidSocket) return;
  CloseConnection(socket_);
  socket_ = kInvalidSocket;
}

}  // namespace tarnlet
