// The two POP3 reply readers: one judging a single "+OK" receive, as the
// SMTP readers do, one accumulating the APOP greeting until its timestamp
// is complete.
#include <cstring>

#include "frame/globals.h"
#include "frame/mail_sender.h"
#include "net/receive_once.h"

namespace tarnlet {
namespace {

constexpr long kShortestReply = 5;  // "+OK" CR LF

bool EndsInCrLf(const char* data, std::size_t length) {
  return length >= 2 && data[length - 2] == '\r' && data[length - 1] == '\n';
}

bool BeginsWithOk(const char* data) { return std::memcmp(data, "+OK", 3) == 0; }

}  // namespace

bool MailSender::ReadPopOk(Connection& connection) {
  char buffer[kReceiveBufferSize];
  const long n = ReceiveReply(*this, connection, buffer, LogLine::kPopReceiveNg, kShortestReply,
                              LogLine::kPopReplyTooShort);
  if (n < 0) return false;
  if (!EndsInCrLf(buffer, static_cast<std::size_t>(n))) return false;
  if (BeginsWithOk(buffer)) return true;
  WriteLog(LogLine::kPopReplyNotOk);
  return false;
}

bool MailSender::ReadApopTimestamp(Connection& connection, char* out, std::size_t capacity) {
  Platform& platform = CurrentPlatform();
  char buffer[kReceiveBufferSize];
  std::size_t filled = 0;
  std::uint32_t counter = 0;
  for (;;) {
    if (filled == sizeof buffer) {
      // No room left for the rest of the greeting.
      WriteLog(LogLine::kApopGreetingNg);
      return false;
    }
    const IoResult got = connection.Receive(buffer + filled, sizeof buffer - filled);
    if (got.count < 0 && got.wouldBlock) {
      if (!PollWait(&counter)) return false;
      continue;
    }
    if (got.count < 0) {
      LogIoFailure(*this, got, LogLine::kApopReceiveNg);
      return false;
    }
    if (got.count == 0) {
      WriteLog(LogLine::kApopReceiveNg, platform.ConnectionResetError());
      return false;
    }
    filled += static_cast<std::size_t>(got.count);
    counter = 0;  // the limit counts silence, not the whole greeting

    if (!EndsInCrLf(buffer, filled)) continue;
    if (filled < static_cast<std::size_t>(kShortestReply)) {
      WriteLog(LogLine::kApopGreetingNg);
      return false;
    }
    if (!BeginsWithOk(buffer)) return false;

    const char* open = static_cast<const char*>(std::memchr(buffer, '<', filled));
    if (open == nullptr) continue;
    const std::size_t rest = filled - static_cast<std::size_t>(open - buffer);
    const char* close = static_cast<const char*>(std::memchr(open, '>', rest));
    if (close == nullptr) continue;

    const std::size_t length = static_cast<std::size_t>(close - open) + 1;
    if (length >= capacity) {
      WriteLog(LogLine::kApopGreetingNg);
      return false;
    }
    std::memcpy(out, open, length);
    out[length] = '\0';
    return true;
  }
}

}  // namespace tarnlet
