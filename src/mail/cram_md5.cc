// SMTP AUTH CRAM-MD5 (RFC 2195) followed by RSET, and the bare RSET of the
// submission path when the server offers no AUTH at all.
#include <cstdio>
#include <cstring>

#include "codec/base64.h"
#include "codec/md5.h"
#include "frame/globals.h"
#include "frame/mail_sender.h"
#include "mail/hmac_md5.h"
#include "mail/smtp_steps.h"

namespace tarnlet {
namespace {

constexpr char kAuthCommand[] = "AUTH CRAM-MD5\r\n";
constexpr char kRsetCommand[] = "RSET\r\n";

// Every challenge text one reply can carry.
constexpr std::size_t kChallengeCapacity = kReceiveBufferSize;
// Three bytes per four characters, and the NUL put after them.
constexpr std::size_t kDecodedCapacity = kChallengeCapacity / 4 * 3 + 1;
constexpr std::size_t kMaxUserName = sizeof(MailSettings::UserName) - 1;
constexpr std::size_t kHexDigits = 2 * kHmacMd5DigestSize;
// User name, one space, the hex digest and a NUL.
constexpr std::size_t kResponseCapacity = kMaxUserName + 1 + kHexDigits + 1;
// Base64 of the longest response text, then CR LF.
constexpr std::size_t kResponseLineCapacity = (kResponseCapacity + 1) / 3 * 4 + 2;

// The base64 line that answers the challenge, keyed with the password:
// the user name, a space and the HMAC-MD5 in hex.
ResultCode AnswerChallenge(Exchange& smtp, const char* challenge, const char* user,
                           const char* password) {
  unsigned char decoded[kDecodedCapacity];
  int decodedLength = 0;
  if (!Base64Codec::Decode(decoded, &decodedLength, challenge,
                           static_cast<int>(std::strlen(challenge)))) {
    return smtp.GiveUp(LogLine::kChallengeBase64Ng);
  }
  decoded[decodedLength] = '\0';

  // The challenge is text: it counts up to its first NUL.
  unsigned char digest[kHmacMd5DigestSize];
  HmacMd5(reinterpret_cast<const unsigned char*>(password), std::strlen(password), decoded,
          std::strlen(reinterpret_cast<const char*>(decoded)), digest);
  char hex[kHexDigits + 1];
  DigestToHex(digest, hex);

  char response[kResponseCapacity];
  const int responseLength = std::snprintf(response, sizeof response, "%s %s", user, hex);
  if (responseLength < 0 || static_cast<std::size_t>(responseLength) >= sizeof response) {
    // Longer than any record can hold; a cut name would only be refused.
    return smtp.GiveUp(LogLine::kResponseSendNg);
  }

  char line[kResponseLineCapacity];
  int encodedLength = 0;
  Base64Codec::Encode(line, &encodedLength, reinterpret_cast<const unsigned char*>(response),
                      responseLength);
  line[encodedLength] = '\r';
  line[encodedLength + 1] = '\n';
  return smtp.Command({line, static_cast<std::size_t>(encodedLength) + 2},
                      LogLine::kResponseSendNg);
}

}  // namespace

ResultCode AuthCramMd5(Exchange& smtp, const char* user, const char* password) {
  char challenge[kChallengeCapacity];
  ResultCode r = smtp.Command(kAuthCommand, LogLine::kAuthSendNg);
  if (r == 0) r = smtp.ExpectChallenge(challenge, sizeof challenge, LogLine::kChallengeNg);
  if (r == 0) r = AnswerChallenge(smtp, challenge, user, password);
  if (r == 0) r = smtp.Expect(235, LogLine::kResponseNg);
  if (r == 0) r = SendRset(smtp);
  return r;
}

ResultCode SendRset(Exchange& smtp) {
  ResultCode r = smtp.Command(kRsetCommand, LogLine::kRsetSendNg);
  if (r == 0) r = smtp.Expect(250, LogLine::kRsetNg);
  return r;
}

}  // namespace tarnlet
