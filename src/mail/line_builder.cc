#include "mail/line_builder.h"

#include "frame/globals.h"

namespace tarnlet {

LineBuilder TransmitLine() { return LineBuilder(g_transmitBuffer, kTransmitBufferSize); }

bool SendBuilt(MailSender& sender, SocketHandle socket, const LineBuilder& line) {
  // A cut line would go out wrong; failing is the lesser harm.
  if (line.overflowed()) return false;
  return sender.SendAll(socket, line.data(), line.size());
}

bool SendText(MailSender& sender, SocketHandle socket, std::string_view text) {
  LineBuilder line = TransmitLine();
  line.Add(text);
  return SendBuilt(sender, socket, line);
}

ResultCode CloseAndFail(MailSender& sender, SocketHandle socket, const char* message,
                        ResultCode code) {
  sender.CloseAndLog(socket, message);
  return code;
}

ResultCode SendLineOrFail(MailSender& sender, SocketHandle socket,
                          std::initializer_list<std::string_view> pieces, const char* failLine,
                          ResultCode code) {
  LineBuilder line = TransmitLine();
  for (std::string_view piece : pieces) line.Add(piece);
  if (!SendBuilt(sender, socket, line)) return CloseAndFail(sender, socket, failLine, code);
  return 0;
}

}  // namespace tarnlet
