#include "net/starttls_reply.h"

#include <cstring>

#include "frame/globals.h"
#include "net/decimal.h"
#include "net/receive_once.h"

namespace tarnlet {

bool ReadStartTlsReply(MailSender& sender, Connection& connection, std::int32_t* code) {
  *code = 0;
  char buffer[kReceiveBufferSize];
  const long n =
      ReceiveReply(sender, connection, buffer, LogLine::kReceiveNg, 5, LogLine::kReplyTooShort);
  if (n < 0) return false;
  *code = DecimalPrefix(buffer, 3);
  if (*code != 220) {
    sender.SendQuit(connection);
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
    const IoResult more = connection.Receive(probe, sizeof probe);
    if (more.count > 0) extra = more.count;
    // A connection that failed or ended now cannot carry a handshake.
    if (more.count == 0) {
      sender.WriteLog(LogLine::kReceiveNg, CurrentPlatform().ConnectionResetError());
      return false;
    }
    if (more.count < 0 && !more.wouldBlock) {
      LogIoFailure(sender, more, LogLine::kReceiveNg);
      return false;
    }
  }
  if (extra > 0) {
    sender.WriteLog(LogLine::kStartTlsInjectedNg, extra);
    return false;
  }
  return true;
}

}  // namespace tarnlet
