// SMTP AUTH PLAIN (RFC 4616) and AUTH LOGIN, each followed by RSET as the
// CRAM-MD5 login is. The dialogue offers them only inside TLS. The encoded
// lines carry the password: they are wiped before returning.
#include <cstring>

#include "codec/base64.h"
#include "frame/globals.h"
#include "mail/smtp_steps.h"
#include "mail/wipe.h"

namespace tarnlet {
namespace {

// The dialogue's copies hold a whole field and a NUL.
constexpr std::size_t kMaxCredential = sizeof(MailSettings::Password);
static_assert(sizeof(MailSettings::UserName) == kMaxCredential, "credential widths");
// NUL, user name, NUL, password: the PLAIN message without authorization id.
constexpr std::size_t kPlainCapacity = 1 + kMaxCredential + 1 + kMaxCredential;
constexpr char kPlainPrefix[] = "AUTH PLAIN ";

std::size_t BoundedLength(const char* text) {
  const char* end = static_cast<const char*>(std::memchr(text, '\0', kMaxCredential + 1));
  return end != nullptr ? static_cast<std::size_t>(end - text) : kMaxCredential;
}

}  // namespace

ResultCode SendEncoded(Exchange& smtp, const char* prefix, const char* data, std::size_t length,
                       LogLine fail) {
  Secret line = prefix;
  const std::size_t start = line.size();
  line.resize(start + (length + 2) / 3 * 4);
  int encoded = 0;
  Base64Codec::Encode(&line[start], &encoded, reinterpret_cast<const unsigned char*>(data),
                      static_cast<int>(length));
  line.resize(start + static_cast<std::size_t>(encoded));
  line += "\r\n";
  return smtp.Command(std::string_view(line.data(), line.size()), fail);
}

ResultCode AuthPlain(Exchange& smtp, const char* user, const char* password) {
  char message[kPlainCapacity];
  const std::size_t userLength = BoundedLength(user);
  const std::size_t passwordLength = BoundedLength(password);
  message[0] = '\0';
  std::memcpy(message + 1, user, userLength);
  message[1 + userLength] = '\0';
  std::memcpy(message + 2 + userLength, password, passwordLength);
  ResultCode r = SendEncoded(smtp, kPlainPrefix, message, 2 + userLength + passwordLength,
                             LogLine::kPlainSendNg);
  WipeSecret(message, sizeof message);
  if (r == 0) r = smtp.Expect(235, LogLine::kPlainNg);
  if (r == 0) r = SendRset(smtp);
  return r;
}

ResultCode AuthLogin(Exchange& smtp, const char* user, const char* password) {
  // The prompts' texts ("Username:", "Password:") are not needed.
  char prompt[kReceiveBufferSize];
  ResultCode r = smtp.Command("AUTH LOGIN\r\n", LogLine::kLoginSendNg);
  if (r == 0) r = smtp.ExpectChallenge(prompt, sizeof prompt, LogLine::kLoginNg);
  if (r == 0) r = SendEncoded(smtp, "", user, BoundedLength(user), LogLine::kLoginSendNg);
  if (r == 0) r = smtp.ExpectChallenge(prompt, sizeof prompt, LogLine::kLoginNg);
  if (r == 0) r = SendEncoded(smtp, "", password, BoundedLength(password), LogLine::kLoginSendNg);
  if (r == 0) r = smtp.Expect(235, LogLine::kLoginNg);
  if (r == 0) r = SendRset(smtp);
  return r;
}

}  // namespace tarnlet
