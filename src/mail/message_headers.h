// The header fields of a message, from Reply-To to X-Mailer.
#ifndef TARNLET_MAIL_MESSAGE_HEADERS_H_
#define TARNLET_MAIL_MESSAGE_HEADERS_H_

#include <cstddef>
#include <cstdint>

#include "net/exchange.h"

namespace tarnlet {

// Sends Reply-To, From, To, Cc, Subject, MIME-Version, Date, Message-Id and
// X-Mailer from the process-global settings (no Bcc field, ever). Returns 0,
// or a negative code after giving up with its line.
ResultCode SendHeaderFields(Exchange& smtp);

// "Date: Thu, 5 Mar 2026 09:07:03 +0900\r\n", the zone being the machine's
// offset from UTC at that moment. Returns the length written into out.
std::size_t FormatDateLine(const LocalTime& time, char* out, std::size_t capacity);

// The random part of a Message-Id, 0 to 32767: the classic C library
// generator, seeded from the platform's entropy on first use.
class MessageIdNumbers {
 public:
  int Next();

 private:
  bool seeded_ = false;
  std::uint32_t state_ = 0;
};
// Seeded once per process. REQUIRES: the caller holds CallLock.
extern MessageIdNumbers g_messageIdNumbers;

}  // namespace tarnlet

#endif  // TARNLET_MAIL_MESSAGE_HEADERS_H_
