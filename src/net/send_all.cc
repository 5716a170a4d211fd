#include "frame/mail_sender.h"
#include "net/connection.h"

namespace tarnlet {

// A non-blocking socket may take only part of the data (its send buffer is
// full): that is flow control, so the rest follows after a wait.
bool MailSender::SendAll(Connection& connection, const char* data, std::size_t length) {
  std::uint32_t counter = 0;
  std::size_t sent = 0;
  while (sent < length) {
    IoResult result = connection.Send(data + sent, length - sent);
    if (result.count >= 0) {
      sent += static_cast<std::size_t>(result.count);
      if (sent >= length) return true;
    } else if (!result.wouldBlock) {
      LogIoFailure(*this, result, LogLine::kSendNg);
      return false;
    }
    if (!PollWait(&counter)) return false;
  }
  return true;
}

}  // namespace tarnlet
