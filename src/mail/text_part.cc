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

bool SendPiece(void* context, const char* data, std::size_t length) {
  return static_cast<Exchange*>(context)->Send({data, length});
}

ResultCode SendTextHeader(Exchange& smtp, std::string_view boundary) {
  if (!boundary.empty()) {
    LineBuilder line = TransmitLine();
    line.Add("\r\n--").Add(boundary).Add("\r\n");
    if (!SendBuilt(smtp, line)) {
      return smtp.GiveUp(LogLine::kTextDelimiterSendNg);
    }
  }
  if (!SendText(smtp, "Content-Type: text/plain; charset=iso-2022-jp\r\n")) {
    return smtp.GiveUp(LogLine::kTextTypeSendNg);
  }
  if (!SendText(smtp, "Content-Transfer-Encoding: 7bit\r\n")) {
    return smtp.GiveUp(LogLine::kTextEncodingSendNg);
  }
  if (!SendText(smtp, "\r\n")) {
    return smtp.GiveUp(LogLine::kTextBlankLineSendNg);
  }
  return 0;
}

// The converted text is sent through the transmit buffer in as many pieces
// as it needs, so no length of body is refused for want of buffer.
ResultCode SendConvertedBody(Exchange& smtp, const char* converted) {
  BodyWriter writer(g_transmitBuffer, kTransmitBufferSize, &SendPiece, &smtp);
  if (!writer.Write(converted, std::strlen(converted)) || !writer.Finish()) {
    return smtp.GiveUp(LogLine::kBodySendNg);
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

ResultCode SendTextPart(Exchange& smtp, const char* converted, std::string_view boundary) {
  ResultCode r = SendTextHeader(smtp, boundary);
  if (r != 0) return r;
  return SendConvertedBody(smtp, converted);
}

}  // namespace tarnlet
