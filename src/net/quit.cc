#include "frame/mail_sender.h"
#include "net/tls_link.h"

namespace tarnlet {

bool MailSender::SendQuit(SocketHandle socket) {
  char command[] = "QUIT\r\n";
  if (!SendAll(socket, command, sizeof command - 1)) {
    WriteLog("SMTP SND : Quit Snd Ng-048\r\n");
    return false;
  }
  // The QUIT reply must not overwrite the code of the reply that failed.
  std::int32_t code = 0;
  if (!ReadReply(socket, 221, &code)) {
    WriteLog("SMTP SND : Quit Understand Ng-049\r\n");
    return false;
  }
  return true;
}

void MailSender::CloseAndLog(SocketHandle socket, const char* message) {
  CloseConnection(socket);
  WriteLog(message);
}

}  // namespace tarnlet
