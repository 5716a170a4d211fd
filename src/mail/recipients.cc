// One RCPT TO for every address of the To, Cc and Bcc lists.
#include <cstring>

#include "mail/line_builder.h"

namespace tarnlet {
namespace {

// Each list is at most this long, its NUL included.
constexpr std::size_t kRecipientListCapacity = sizeof(MailSettings::Address);
// "RCPT TO: ", the longest address a list can hold, CR LF and NUL.
constexpr std::size_t kRcptLineCapacity = 9 + (kRecipientListCapacity - 1) + 3;

// The To, Cc and Bcc lists as SendRecipients scans them.
char g_recipientCopies[3][kRecipientListCapacity];

void CopyList(char* copy, const char* list) {
  std::size_t n = 0;
  while (n < kRecipientListCapacity - 1 && list[n] != '\0') ++n;
  std::memcpy(copy, list, n);
  copy[n] = '\0';
}

ResultCode SendRcpt(MailSender& sender, SocketHandle socket, std::string_view address) {
  char command[kRcptLineCapacity];
  LineBuilder line(command, sizeof command);
  line.Add("RCPT TO: ").Add(address).Add("\r\n");
  if (!SendBuilt(sender, socket, line)) return -4;
  if (!sender.ReadReply(socket, 250, &sender.lastReplyCode)) return -7;
  return 0;
}

// One RCPT TO per ';'-separated entry; spaces are dropped wherever they
// stand and empty entries give no command.
ResultCode SendListRecipients(MailSender& sender, SocketHandle socket, const char* list) {
  char address[kRecipientListCapacity];
  std::size_t length = 0;
  for (const char* p = list;; ++p) {
    if (*p == ' ') continue;
    if (*p == ';' || *p == '\0') {
      if (length > 0) {
        ResultCode r = SendRcpt(sender, socket, std::string_view(address, length));
        if (r != 0) return r;
        length = 0;
      }
      if (*p == '\0') return 0;
      continue;
    }
    address[length++] = *p;
  }
}

}  // namespace

ResultCode MailSender::SendRecipients(SocketHandle socket, const char* to, const char* cc,
                                      const char* bcc) {
  const char* lists[3] = {to, cc, bcc};
  for (int i = 0; i < 3; ++i) CopyList(g_recipientCopies[i], lists[i]);
  for (char* list : g_recipientCopies) {
    ResultCode r = SendListRecipients(*this, socket, list);
    if (r != 0) return r;
  }
  return 0;
}

}  // namespace tarnlet
