// One RCPT TO for every address of the To, Cc and Bcc lists.
#include <cstring>

#include "mail/smtp_steps.h"

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

constexpr char kRcptPrefix[] = "RCPT TO: ";
constexpr std::size_t kRcptPrefixLength = sizeof kRcptPrefix - 1;

// Sends the command whose address already stands after the prefix.
ResultCode SendRcpt(Exchange& smtp, char* command, std::size_t addressLength) {
  std::size_t length = kRcptPrefixLength + addressLength;
  command[length++] = '\r';
  command[length++] = '\n';
  command[length] = '\0';
  if (!smtp.Send({command, length})) return codes::kSendFailed;
  if (!smtp.ReadReply(250)) return codes::kRecipientRefused;
  return 0;
}

// One RCPT TO per ';'-separated entry; spaces are dropped wherever they
// stand and empty entries give no command. The address is gathered straight
// into the command line, which holds the longest entry a list can carry.
ResultCode SendListRecipients(Exchange& smtp, const char* list) {
  char command[kRcptLineCapacity];
  std::memcpy(command, kRcptPrefix, kRcptPrefixLength);
  char* address = command + kRcptPrefixLength;
  constexpr std::size_t kAddressCapacity = kRecipientListCapacity - 1;
  std::size_t length = 0;
  for (const char* p = list;; ++p) {
    if (*p == ' ') continue;
    if (*p == ';' || *p == '\0') {
      if (length > 0) {
        ResultCode r = SendRcpt(smtp, command, length);
        if (r != 0) return r;
        length = 0;
      }
      if (*p == '\0') return 0;
      continue;
    }
    // The list copy holds at most kAddressCapacity bytes, so this always
    // holds; the test keeps the bound visible to the compiler.
    if (length < kAddressCapacity) address[length++] = *p;
  }
}

}  // namespace

ResultCode SendRecipients(Exchange& smtp, const char* to, const char* cc, const char* bcc) {
  const char* lists[3] = {to, cc, bcc};
  for (int i = 0; i < 3; ++i) CopyList(g_recipientCopies[i], lists[i]);
  for (char* list : g_recipientCopies) {
    ResultCode r = SendListRecipients(smtp, list);
    if (r != 0) return r;
  }
  return 0;
}

}  // namespace tarnlet
