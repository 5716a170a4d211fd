#include "net/exchange.h"

#include "net/starttls_reply.h"

namespace tarnlet {

ResultCode Exchange::Open(const char* dotted, std::uint16_t port, const OpenFailures& failures) {
  Platform& platform = CurrentPlatform();
  int error = 0;
  const SocketHandle socket = platform.CreateTcpSocket(&error);
  if (socket == kInvalidSocket) return GiveUp(failures.socket, error);
  connection_.Adopt(socket);
  if (!platform.ConnectIpv4(socket, dotted, port, &error)) return GiveUp(failures.connect, error);
  if (!platform.SetNonBlocking(socket, &error)) return GiveUp(failures.nonBlocking, error);
  return 0;
}

ResultCode Exchange::StartTls(const char* host, LogLine fail) {
  return connection_.StartTls(sender_, host) ? 0 : GiveUp(fail);
}

ResultCode Exchange::ExpectStartTls(LogLine fail) {
  return ReadStartTlsReply(sender_, connection_, &sender_.lastReplyCode) ? 0 : GiveUp(fail);
}

bool Exchange::Send(std::string_view bytes) {
  return sender_.SendAll(connection_, bytes.data(), bytes.size());
}

bool Exchange::ReadReply(int expected) {
  return sender_.ReadReply(connection_, expected, &sender_.lastReplyCode);
}

std::uint8_t Exchange::ReadEhloReply(int expected) {
  return sender_.ReadEhloReply(connection_, expected, &sender_.lastReplyCode);
}

int Exchange::ReadAnyReply() {
  return sender_.ReadAnyReply(connection_, &sender_.lastReplyCode) ? sender_.lastReplyCode : 0;
}

bool Exchange::SendQuit() { return sender_.SendQuit(connection_); }

ResultCode Exchange::Command(std::string_view line, LogLine fail) {
  return Send(line) ? 0 : GiveUp(fail);
}

ResultCode Exchange::Expect(int expected, LogLine fail) {
  return ReadReply(expected) ? 0 : GiveUp(fail);
}

ResultCode Exchange::ExpectChallenge(char* out, std::size_t capacity, LogLine fail) {
  return sender_.ReadChallenge(connection_, out, capacity) ? 0 : GiveUp(fail);
}

ResultCode Exchange::ExpectPopOk(LogLine fail) {
  return sender_.ReadPopOk(connection_) ? 0 : GiveUp(fail);
}

ResultCode Exchange::ExpectApopTimestamp(char* out, std::size_t capacity, LogLine fail) {
  return sender_.ReadApopTimestamp(connection_, out, capacity) ? 0 : GiveUp(fail);
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

void Exchange::Close() { connection_.Close(); }

}  // namespace tarnlet
