#include "frame/mail_sender.h"

namespace tarnlet {

bool MailSender::SendQuit(SocketHandle socket) {
  char command[] = "QUIT\r\n";
  if (!SendAll(socket, command, sizeof command - 1)) {
    WriteLog(LogLine::kQuitSendNg);
    return false;
  }
  // The QUIT reply must not overwrite the code of the reply that failed.
  std::int32_t code = 0;
  if (!ReadReply(socket, 221, &code)) {
    WriteLog(LogLine::kQuitReplyNg);
    return false;
  }
  return true;
}

}  // namespace tarnlet
