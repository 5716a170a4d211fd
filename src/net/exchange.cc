#include "net/exchange.h"

#include "net/tls_link.h"

namespace tarnlet {

ResultCode Exchange::Open(const char* dotted, std::uint16_t port, const OpenFailures& failures) {
  Platform& platform = CurrentPlatform();
  int error = 0;
  socket_ = platform.CreateTcpSocket(&error);
  if (socket_ == kInvalidSocket) return GiveUp(failures.socket, error);
  if (!platform.ConnectIpv4(socket_, dotted, port, &error)) return GiveUp(failures.connect, error);
  if (!platform.SetNonBlocking(socket_, &error)) return GiveUp(failures.nonBlocking, error);
  return 0;
}

ResultCode Exchange::StartTls(const char* host, LogLine fail) {
  return StartTlsSession(sender_, socket_, host) ? 0 : GiveUp(fail);
}

ResultCode Exchange::ExpectStartTls(LogLine fail) {
  return ReadStartTlsReply(sender_, socket_, &sender_.lastReplyCode) ? 0 : GiveUp(fail);
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

int Exchange::ReadAnyReply() {
  return sender_.ReadAnyReply(socket_, &sender_.lastReplyCode) ? sender_.lastReplyCode : 0;
}

bool Exchange::SendQuit() { return sender_.SendQuit(socket_); }

ResultCode Exchange::Command(std::string_view line, LogLine fail) {
  return Send(line) ? 0 : GiveUp(fail);
}

ResultCode Exchange::Expect(int expected, LogLine fail) {
  return ReadReply(expected) ? 0 : GiveUp(fail);
}

ResultCode Exchange::ExpectChallenge(char* out, std::size_t capacity, LogLine fail) {
  return sender_.ReadChallenge(socket_, out, capacity) ? 0 : GiveUp(fail);
}

ResultCode Exchange::ExpectPopOk(LogLine fail) {
  return sender_.ReadPopOk(socket_) ? 0 : GiveUp(fail);
}

ResultCode Exchange::ExpectApopTimestamp(char* out, std::size_t capacity, LogLine fail) {
  return sender_.ReadApopTimestamp(socket_, out, capacity) ? 0 : GiveUp(fail);
}

ResultCode Exchange::GiveUp(LogLine line, long value) {
  if (order_ == GiveUpOrder::kCloseThenLog) {
    CloseAndLog(line, value);
  } else {
    LogAndClose(line, value);
  }
  return CodeOf(line);
}

ResultCode Exchange::GiveUpWith(LogLine line, ResultCode code) {
  GiveUp(line);
  return code;
}

void Exchange::CloseAndLog(LogLine line, long value) {
  Close();
  sender_.WriteLog(line, value);
}

void Exchange::LogAndClose(LogLine line, long value) {
  sender_.WriteLog(line, value);
  Close();
}

void Exchange::Close() {
  if (socket_ == kInvalidSocket) return;
  CloseConnection(socket_);
  socket_ = kInvalidSocket;
}

}  // namespace tarnlet
