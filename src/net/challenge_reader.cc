#include <cstring>

#include "frame/globals.h"
#include "frame/mail_sender.h"
#include "net/decimal.h"
#include "net/receive_once.h"

namespace tarnlet {
namespace {
constexpr long kShortestChallenge = 4;
constexpr int kChallengeCode = 334;
}  // namespace

bool MailSender::ReadChallenge(Connection& connection, char* out, std::size_t capacity) {
  char buffer[kReceiveBufferSize];
  const long n = ReceiveReply(*this, connection, buffer, LogLine::kChallengeReceiveNg,
                              kShortestChallenge, LogLine::kChallengeTooShort);
  if (n < 0) return false;
  bool codeSeen = false;
  long textStart = 0;
  for (long i = 0; i + 1 < n; ++i) {
    if (!codeSeen) {
      if (buffer[i] != ' ') continue;
      if (DecimalPrefix(buffer, static_cast<std::size_t>(i)) != kChallengeCode) {
        WriteLog(LogLine::kChallengeCodeNg);
        return false;
      }
      codeSeen = true;
      textStart = i + 1;
    } else if (buffer[i] == '\r' && buffer[i + 1] == '\n') {
      const std::size_t length = static_cast<std::size_t>(i - textStart);
      // Never cut a challenge short: a truncated one could only give a
      // wrong answer. Callers' buffers hold any text of one receive.
      if (length >= capacity) return false;
      std::memcpy(out, buffer + textStart, length);
      out[length] = '\0';
      return true;
    }
  }
  return false;
}

}  // namespace tarnlet
