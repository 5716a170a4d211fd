#include "net/receive_once.h"

namespace tarnlet {

long ReceiveOnce(MailSender& sender, Connection& connection, char* buffer, LogLine errorLine) {
  Platform& platform = CurrentPlatform();
  std::uint32_t counter = 0;
  for (;;) {
    IoResult result = connection.Receive(buffer, kReceiveBufferSize);
    if (result.count > 0) return result.count;
    // End of stream: the peer has closed, so no reply can come; waiting out
    // the time-out would only delay the same failure.
    if (result.count == 0) {
      sender.WriteLog(errorLine, platform.ConnectionResetError());
      return -1;
    }
    if (!result.wouldBlock) {
      LogIoFailure(sender, result, errorLine);
      return -1;
    }
    if (!sender.PollWait(&counter)) return -1;
  }
}

long ReceiveReply(MailSender& sender, Connection& connection, char* buffer, LogLine errorLine,
                  long shortest, LogLine shortLine) {
  const long n = ReceiveOnce(sender, connection, buffer, errorLine);
  if (n < 0 || n >= shortest) return n;
  sender.WriteLog(shortLine, n);
  return -1;
}

}  // namespace tarnlet
