// The text part: its header lines and the body in ISO-2022-JP.
#include <cstdint>
#include <cstring>

#include "codec/iso2022jp.h"
#include "frame/globals.h"
#include "mail/body_writer.h"
#include "mail/line_builder.h"
#include "mail/message_parts.h"

namespace tarnlet {
namespace {

struct Connection {
  MailSender* sender;
  SocketHandle socket;
};

bool SendPiece(void* context, const char* data, std::size_t length) {
  Connection* connection = static_cast<Connection*>(context);
  return connection->sender->SendAll(connection->socket, data, length);
}

ResultCode SendTextHeader(MailSender& sender, SocketHandle socket, std::string_view boundary) {
  if (!boundary.empty()) {
    LineBuilder line = TransmitLine();
    line.Add("\r\n--").Add(boundary).Add("\r\n");
    if (!SendBuilt(sender, socket, line)) {
      return CloseAndFail(sender, socket, "SMTP SND : Header Snd Ng-080\r\n", -4);
    }
  }
  if (!SendText(sender, socket, "Content-Type: text/plain; charset=iso-2022-jp\r\n")) {
    return CloseAndFail(sender, socket, "SMTP SND : Header Snd Ng-081r\n", -4);
  }
  if (!SendText(sender, socket, "Content-Transfer-Encoding: 7bit\r\n")) {
    return CloseAndFail(sender, socket, "SMTP SND : Header Snd Ng-082\r\n", -4);
  }
  if (!SendText(sender, socket, "\r\n")) {
    return CloseAndFail(sender, socket, "SMTP SND : Header Snd Ng-083\r\n", -4);
  }
  return 0;
}

// The converted text is sent through the transmit buffer in as many pieces
// as it needs, so no length of body is refused for want of buffer.
ResultCode SendConvertedBody(MailSender& sender, SocketHandle socket, const char* converted) {
  Connection connection = {&sender, socket};
  BodyWriter writer(g_transmitBuffer, kTransmitBufferSize, &SendPiece, &connection);
  if (!writer.Write(converted, std::strlen(converted)) || !writer.Finish()) {
    return CloseAndFail(sender, socket, "SMTP SND : Text Snd Ng-085\r\n", -4);
  }
  return 0;
}

}  // namespace

char* ConvertBody(const char* body) {
  const std::size_t length = std::strlen(body);
  if (length > (SIZE_MAX - 4) / 5) return nullptr;
  char* converted = static_cast<char*>(CurrentPlatform().Allocate(Iso2022JpCapacity(length)));
  if (converted != nullptr) SjisToIso2022Jp(body, converted);
  return converted;
}

ResultCode SendTextPart(MailSender& sender, SocketHandle socket, const char* converted,
                        std::string_view boundary) {
  ResultCode r = SendTextHeader(sender, socket, boundary);
  if (r != 0) return r;
  return SendConvertedBody(sender, socket, converted);
}

}  // namespace tarnlet
