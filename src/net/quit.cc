#include "frame/mail_sender.h"
#include "net/connection.h"

namespace tarnlet {

bool MailSender::SendQuit(Connection& connection) {
  char command[] = "QUIT\r\n";
  if (!SendAll(connection, command, sizeof command - 1)) {
    WriteLog(LogLine::kQuitSendNg);
    return false;
  }
  // The QUIT reply must not overwrite the code of the reply that failed.
  std::int32_t code = 0;
  if (!ReadReply(connection, 221, &code)) {
    WriteLog(LogLine::kQuitReplyNg);
    return false;
  }
  return true;
}

}  // namespace tarnlet
