// The reader for a step whose caller decides on the code itself: the
// checks of form of ReadReply, and nothing sent whatever the code.
#include "frame/mail_sender.h"
#include "net/decimal.h"
#include "net/receive_once.h"

namespace tarnlet {
namespace {
constexpr long kShortestReply = 5;  // three digits and CR LF
}  // namespace

bool MailSender::ReadAnyReply(SocketHandle socket, std::int32_t* code) {
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
  return true;
}

}  // namespace tarnlet
