#include "net/receive_once.h"

#include "net/tls_link.h"

namespace tarnlet {

long ReceiveOnce(MailSender& sender, SocketHandle socket, char* buffer, LogLine errorLine) {
  Platform& platform = CurrentPlatform();
  std::uint32_t counter = 0;
  for (;;) {
    IoResult result = ConnectionReceive(socket, buffer, kReceiveBufferSize);
    if (result.count > 0) return result.count;
    // End of stream: the peer has closed, so no reply can come; waiting out
    // the time-out would only delay the same failure.
    if (result.count == 0) {
      sender.WriteLog(errorLine, platform.ConnectionResetError());
      return -1;
    }
    if (!result.wouldBlock) {
      sender.WriteLog(errorLine, result.error);
      return -1;
    }
    if (!sender.PollWait(&counter)) return -1;
  }
}

}  // namespace tarnlet
