// The message after DATA: header fields, the multipart frame, the text and
// attachment parts, and the end-of-data marker.
#include <cstring>

#include "frame/globals.h"
#include "mail/attachments.h"
#include "mail/line_builder.h"
#include "mail/message_headers.h"
#include "mail/message_parts.h"
#include "mail/smtp_steps.h"
#include "platform/platform.h"

namespace tarnlet {
namespace {

constexpr std::size_t kBoundaryCapacity = sizeof(MailSettings::Boundary) + 16;
char g_boundary[kBoundaryCapacity];

std::string_view BoundaryText() {
  std::string_view word = FieldText(g_mailSettings.Boundary);
  LineBuilder text(g_boundary, kBoundaryCapacity);
  if (word.empty()) {
    text.Add("+-+-+-Default-+-+-+");
  } else {
    text.Add("+-+-+-").Add(word).Add("-+-+-+");
  }
  return {text.data(), text.size()};
}

ResultCode SendMultipartHeader(Exchange& smtp, std::string_view boundary) {
  if (!SendText(smtp, "Content-Type: multipart/mixed;\r\n")) {
    return smtp.GiveUp(LogLine::kMultipartTypeSendNg);
  }
  LineBuilder line = TransmitLine();
  line.Add(" boundary=\"").Add(boundary).Add("\"\r\n");
  if (!SendBuilt(smtp, line)) {
    return smtp.GiveUp(LogLine::kBoundarySendNg);
  }
  if (!SendText(smtp, "\r\nThis is a multi-part message in MIME format.\r\n")) {
    return smtp.GiveUp(LogLine::kPreambleSendNg);
  }
  return 0;
}

ResultCode SendEndOfData(Exchange& smtp, std::string_view boundary) {
  LineBuilder line = TransmitLine();
  if (boundary.empty()) {
    line.Add("\r\n\r\n.\r\n");
  } else {
    line.Add("\r\n--").Add(boundary).Add("--\r\n\r\n.\r\n");
  }
  if (!SendBuilt(smtp, line)) {
    return smtp.GiveUp(LogLine::kEndOfDataSendNg);
  }
  return 0;
}

ResultCode SendParts(Exchange& smtp, const char* converted, int count) {
  char chosen[kMaxBoundaryLength + 1];
  const std::string_view boundary =
      count > 0 ? ChooseBoundary(BoundaryText(), converted, chosen) : std::string_view();
  ResultCode r = 0;
  if (count > 0 && (r = SendMultipartHeader(smtp, boundary)) != 0) return r;
  if (converted != nullptr && (r = SendTextPart(smtp, converted, boundary)) != 0) {
    return r;
  }
  for (int k = 0; k < count; ++k) {
    if ((r = SendAttachmentPart(smtp, AttachmentPath(k), boundary)) != 0) return r;
  }
  return SendEndOfData(smtp, boundary);
}

}  // namespace

ResultCode SendMessageContent(Exchange& smtp, const char* body) {
  ResultCode r = SendHeaderFields(smtp);
  if (r != 0) return r;
  const int count = SplitAttachmentList(g_mailSettings.AppendFile);
  // Converted before the first boundary goes out: the boundary must be one
  // that the text does not hold.
  char* converted = nullptr;
  if (body[0] != '\0' && (converted = ConvertBody(body)) == nullptr) {
    return smtp.GiveUp(LogLine::kBodyBufferNg);
  }
  r = SendParts(smtp, converted, count);
  if (converted != nullptr) CurrentPlatform().Release(converted);
  return r;
}

}  // namespace tarnlet
