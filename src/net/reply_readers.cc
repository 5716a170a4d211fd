// SMTP reply readers. Each examines exactly one receive that returned
// data: the whole reply must have arrived in it, and bytes arriving later
// are left for the next reader.
#include <cstring>

#include "frame/globals.h"
#include "frame/mail_sender.h"
#include "net/decimal.h"
#include "net/receive_once.h"

namespace tarnlet {
namespace {

constexpr long kShortestReply = 5;  // three digits and CR LF

// The received bytes carry no NUL: search only within them.
bool Contains(const char* bytes, long count, const char* word) {
  const std::size_t length = std::strlen(word);
  for (long at = 0; at + static_cast<long>(length) <= count; ++at) {
    if (std::memcmp(bytes + at, word, length) == 0) return true;
  }
  return false;
}

std::uint8_t AuthMechanisms(const char* bytes, long count) {
  if (!Contains(bytes, count, "AUTH")) return kAuthNone;
  std::uint8_t flags = 0;
  if (Contains(bytes, count, "LOGIN")) flags |= kAuthLogin;
  if (Contains(bytes, count, "PLAIN")) flags |= kAuthPlain;
  if (Contains(bytes, count, "CRAM-MD5")) flags |= kAuthCramMd5;
  if (Contains(bytes, count, "DIGEST-MD5")) flags |= kAuthDigestMd5;
  return flags;
}

}  // namespace

bool MailSender::ReadReply(SocketHandle socket, int expected, std::int32_t* code) {
  *code = 0;
  char buffer[kReceiveBufferSize];
  const long n = ReceiveOnce(*this, socket, buffer, LogLine::kReceiveNg);
  if (n < 0) return false;
  if (n < kShortestReply) {
    WriteLog(LogLine::kReplyTooShort, n);
    return false;
  }
  if (buffer[n - 2] != '\r' || buffer[n - 1] != '\n') return false;
  *code = DecimalPrefix(buffer, 3);
  if (*code == expected) return true;
  // Expecting 221 means this is the QUIT exchange itself.
  if (expected != 221) SendQuit(socket);
  WriteLog(LogLine::kReplyCodeNg);
  return false;
}

std::uint8_t MailSender::ReadEhloReply(SocketHandle socket, int expected, std::int32_t* code) {
  *code = 0;
  char buffer[kReceiveBufferSize];
  const long n = ReceiveOnce(*this, socket, buffer, LogLine::kReceiveNg);
  if (n < 0) return 0;
  if (n < kShortestReply) {
    WriteLog(LogLine::kReplyTooShort, n);
    return 0;
  }
  *code = DecimalPrefix(buffer, 3);
  if (*code != expected) {
    SendQuit(socket);
    WriteLog(LogLine::kEhloReplyCodeNg);
    return 0;
  }
  const std::uint8_t flags = AuthMechanisms(buffer, n);
  return Contains(buffer, n, "STARTTLS") ? flags | kStartTlsOffered : flags;
}

}  // namespace tarnlet
