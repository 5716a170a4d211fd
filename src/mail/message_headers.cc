#include "mail/message_headers.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "codec/encoded_word.h"
#include "frame/globals.h"
#include "mail/folded_field.h"
#include "mail/line_builder.h"

namespace tarnlet {
namespace {

constexpr std::size_t kCommentCapacity = sizeof(MailSettings::MyMailAddressComt) + 1;
char g_commentCopy[kCommentCapacity];
char g_encodedComment[EncodedWordCapacity(kCommentCapacity - 1)];

ResultCode SendReplyTo(Exchange& smtp) {
  std::string_view replyTo = FieldText(g_mailSettings.sReply_To);
  if (replyTo.empty()) return 0;
  return SendLineOrFail(smtp, {"Reply-To: <", replyTo, ">\r\n"}, LogLine::kReplyToSendNg);
}

// The display comment as one encoded word; empty when memory was short.
std::string_view EncodedComment(std::string_view comment) {
  std::memcpy(g_commentCopy, comment.data(), comment.size());
  g_commentCopy[comment.size()] = '\0';
  g_encodedComment[0] = '\0';
  EncodeHeaderWord(g_commentCopy, g_encodedComment);
  return g_encodedComment;
}

void AddWord(void* context, const char* word) {
  static_cast<FoldedField*>(context)->Item(" ", word);
}

// A text whose single encoded word would make its line too long goes out
// as several words, one to a line (RFC 2047 2).
void AddEncodedWords(FoldedField& field, const char* text) {
  EncodeHeaderWords(text, kMaxEncodedWord, &AddWord, &field);
}

ResultCode SendFrom(Exchange& smtp) {
  std::string_view comment = FieldText(g_mailSettings.MyMailAddressComt);
  std::string_view address = FieldText(g_mailSettings.MyMailAddress);
  const LogLine fail = LogLine::kFromSendNg;
  if (comment.empty()) return SendLineOrFail(smtp, {"From: <", address, ">\r\n"}, fail);
  std::string_view encoded = EncodedComment(comment);
  if (7 + encoded.size() + 2 + address.size() + 1 <= kMaxLineOctets) {
    return SendLineOrFail(smtp, {"From: \"", encoded, "\"<", address, ">\r\n"}, fail);
  }
  // Several words, still inside the quotes: readers decode them there
  // alike, while some keep a space between unquoted words of a phrase.
  LineBuilder line = TransmitLine();
  FoldedField field(line, "From: \"", kEncodedWordLineOctets);
  AddEncodedWords(field, g_commentCopy);
  field.Add("\"<");
  field.Add(address);
  field.Add(">");
  field.End();
  if (!SendBuilt(smtp, line)) return smtp.GiveUp(fail);
  return 0;
}

bool HasAddressAfter(std::string_view list, std::size_t at) {
  for (; at < list.size(); ++at) {
    if (list[at] != ';' && list[at] != ' ') return true;
  }
  return false;
}

// The addresses of a ';'-separated list as the recipient scan finds them
// (spaces dropped, empty entries skipped), separated by ", " (RFC 5322
// 3.4), folded after a comma where a line would grow too long. A list
// without any address gives no field.
ResultCode SendAddressList(Exchange& smtp, const char* start, std::string_view list, LogLine fail) {
  LineBuilder line = TransmitLine();
  FoldedField field(line, start);
  bool any = false;
  std::size_t at = 0;
  while (at < list.size()) {
    std::size_t end = at;
    std::size_t length = 0;
    for (; end < list.size() && list[end] != ';'; ++end) length += list[end] != ' ';
    if (length > 0) {
      any = true;
      // An item with more after it keeps room for its comma, which a fold
      // after it leaves on its line.
      field.Separate(", ", length + (HasAddressAfter(list, end) ? 1 : 0));
      for (std::size_t i = at; i < end; ++i) {
        if (list[i] != ' ') field.Add(list.substr(i, 1));
      }
    }
    at = end + 1;
  }
  if (!any) return 0;  // a field without an address would be malformed
  field.End();
  if (!SendBuilt(smtp, line)) return smtp.GiveUp(fail);
  return 0;
}

ResultCode SendToAndCc(Exchange& smtp) {
  std::string_view to = FieldText(g_mailSettings.Address);
  if (!to.empty()) {
    ResultCode r = SendAddressList(smtp, "To: ", to, LogLine::kToSendNg);
    if (r != 0) return r;
  }
  std::string_view cc = FieldText(g_mailSettings.Cc);
  if (cc.empty()) return 0;
  return SendAddressList(smtp, "Cc: ", cc, LogLine::kCcSendNg);
}

ResultCode SendEncodedSubject(Exchange& smtp, std::string_view subject) {
  Platform& platform = CurrentPlatform();
  char* copy = static_cast<char*>(platform.Allocate(subject.size() + 1));
  if (copy == nullptr) {
    return smtp.GiveUp(LogLine::kSubjectBufferNg);
  }
  const std::size_t encodedSize = EncodedWordCapacity(subject.size());
  char* encoded = static_cast<char*>(platform.Allocate(encodedSize));
  if (encoded == nullptr) {
    platform.Release(copy);
    return smtp.GiveUp(LogLine::kSubjectSendBufferNg);
  }
  std::memcpy(copy, subject.data(), subject.size());
  copy[subject.size()] = '\0';
  std::memset(encoded, 0, encodedSize);
  if (EncodeHeaderWord(copy, encoded) == 0) {
    platform.Release(encoded);
    platform.Release(copy);
    return smtp.GiveUp(LogLine::kSubjectEncodeNg);
  }
  LineBuilder line = TransmitLine();
  if (9 + std::strlen(encoded) <= kMaxLineOctets) {
    line.Add("Subject: ").Add(encoded).Add("\r\n");
  } else {
    FoldedField field(line, "Subject: ", kEncodedWordLineOctets);
    AddEncodedWords(field, copy);
    field.End();
  }
  platform.Release(encoded);
  platform.Release(copy);
  if (!SendBuilt(smtp, line)) {
    return smtp.GiveUp(LogLine::kSubjectSendNg);
  }
  return 0;
}

ResultCode SendSubject(Exchange& smtp) {
  std::string_view subject = FieldText(g_mailSettings.Subject);
  if (!subject.empty()) return SendEncodedSubject(smtp, subject);
  return SendLineOrFail(smtp, {"Subject:\r\n"}, LogLine::kEmptySubjectSendNg);
}

ResultCode SendDate(Exchange& smtp, const LocalTime& now) {
  FormatDateLine(now, g_formatBuffer, kFormatBufferSize);
  return SendLineOrFail(smtp, {g_formatBuffer}, LogLine::kDateSendNg);
}

ResultCode SendMessageId(Exchange& smtp, const LocalTime& now) {
  std::string_view host = FieldText(g_mailSettings.MyHostFQDNName);
  std::snprintf(g_formatBuffer, kFormatBufferSize,
                "Message-Id: <%04d%02d%02d%02d%02d%02d.quorvex%05d@%.*s>\r\n", now.year, now.month,
                now.day, now.hour, now.minute, now.second, g_messageIdNumbers.Next(),
                static_cast<int>(host.size()), host.data());
  return SendLineOrFail(smtp, {g_formatBuffer}, LogLine::kMessageIdSendNg);
}

// One reading of the clock serves both lines.
ResultCode SendDateAndMessageId(Exchange& smtp) {
  const LocalTime now = CurrentPlatform().LocalNow();
  ResultCode r = SendDate(smtp, now);
  if (r == 0) r = SendMessageId(smtp, now);
  return r;
}

ResultCode SendXMailer(Exchange& smtp) {
  std::string_view mailer = FieldText(g_mailSettings.X_MailerName);
  if (mailer.empty()) return 0;
  return SendLineOrFail(smtp, {"X-Mailer: ", mailer, "\r\n"}, LogLine::kXMailerSendNg);
}

}  // namespace

std::size_t FormatDateLine(const LocalTime& time, char* out, std::size_t capacity) {
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const int offset = std::abs(time.utcOffsetMinutes);
  int n = std::snprintf(out, capacity, "Date: %s, %d %s %d %02d:%02d:%02d %c%02d%02d\r\n",
                        kDays[static_cast<unsigned>(time.dayOfWeek) % 7], time.day,
                        kMonths[static_cast<unsigned>(time.month + 11) % 12], time.year, time.hour,
                        time.minute, time.second, time.utcOffsetMinutes < 0 ? '-' : '+',
                        offset / 60, offset % 60);
  return n < 0 ? 0 : static_cast<std::size_t>(n);
}

MessageIdNumbers g_messageIdNumbers;

int MessageIdNumbers::Next() {
  if (!seeded_) {
    state_ = CurrentPlatform().EntropySeed();
    seeded_ = true;
  }
  // 15 bits, so the text keeps five digits.
  state_ = state_ * 1103515245u + 12345u;
  return static_cast<int>((state_ >> 16) & 0x7FFF);
}

ResultCode SendHeaderFields(Exchange& smtp) {
  ResultCode r = SendReplyTo(smtp);
  if (r == 0) r = SendFrom(smtp);
  if (r == 0) r = SendToAndCc(smtp);
  if (r == 0) r = SendSubject(smtp);
  if (r == 0) {
    r = SendLineOrFail(smtp, {"MIME-Version: 1.0\r\n"}, LogLine::kMimeVersionSendNg);
  }
  if (r == 0) r = SendDateAndMessageId(smtp);
  if (r == 0) r = SendXMailer(smtp);
  return r;
}

}  // namespace tarnlet
