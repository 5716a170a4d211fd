// SMTP reply readers. Each examines exactly one receive that returned
// data: the whole reply must have arrived in it, and bytes arriving later
// are left for the next reader.
#include <cstring>

#include "frame/globals.h"
#include "frame/mail_sender.h"
#include "net/ascii_case.h"
#include "net/decimal.h"
#include "net/receive_once.h"

namespace tarnlet {
namespace {

constexpr long kShortestReply = 5;  // three digits and CR LF

struct Mechanism {
  const char* name;
  std::uint8_t flag;
};
constexpr Mechanism kMechanisms[] = {
    {"LOGIN", kAuthLogin},          {"PLAIN", kAuthPlain},     {"CRAM-MD5", kAuthCramMd5},
    {"DIGEST-MD5", kAuthDigestMd5}, {"XOAUTH2", kAuthXoauth2}, {"OAUTHBEARER", kAuthOauthBearer},
};

std::uint8_t MechanismFlag(const char* word, std::size_t length) {
  for (const Mechanism& mechanism : kMechanisms) {
    if (SameAsciiText(word, length, mechanism.name)) return mechanism.flag;
  }
  return 0;
}

// One line of an EHLO reply: the code and its separator, then a keyword
// and its parameters. Keywords and mechanism names compare without case
// (RFC 5321 2.4, RFC 4422 3.1); the old "AUTH=" form is read as "AUTH ".
struct EhloOffer {
  bool auth = false;
  bool startTls = false;
  std::uint8_t mechanisms = 0;
};

void ReadEhloLine(const char* line, std::size_t length, EhloOffer* offer) {
  std::size_t at = 0;
  while (at < length && line[at] >= '0' && line[at] <= '9') ++at;
  if (at < length && (line[at] == '-' || line[at] == ' ')) ++at;
  const auto endOfWord = [&](std::size_t from) {
    while (from < length && line[from] != ' ' && line[from] != '=' && line[from] != '\r') ++from;
    return from;
  };
  const std::size_t keywordEnd = endOfWord(at);
  if (SameAsciiText(line + at, keywordEnd - at, "STARTTLS")) offer->startTls = true;
  if (!SameAsciiText(line + at, keywordEnd - at, "AUTH")) return;
  offer->auth = true;
  for (at = keywordEnd; at < length;) {
    if (line[at] == ' ' || line[at] == '=' || line[at] == '\r') {
      ++at;
      continue;
    }
    const std::size_t end = endOfWord(at);
    offer->mechanisms |= MechanismFlag(line + at, end - at);
    at = end;
  }
}

std::uint8_t EhloFlags(const char* bytes, long count) {
  EhloOffer offer;
  const char* end = bytes + count;
  for (const char* line = bytes; line < end;) {
    const char* lf =
        static_cast<const char*>(std::memchr(line, '\n', static_cast<std::size_t>(end - line)));
    const char* next = lf != nullptr ? lf : end;
    ReadEhloLine(line, static_cast<std::size_t>(next - line), &offer);
    line = lf != nullptr ? lf + 1 : end;
  }
  const std::uint8_t flags = offer.auth ? offer.mechanisms : std::uint8_t{kAuthNone};
  return offer.startTls ? static_cast<std::uint8_t>(flags | kStartTlsOffered) : flags;
}

}  // namespace

bool MailSender::ReadAnyReply(Connection& connection, std::int32_t* code) {
  *code = 0;
  char buffer[kReceiveBufferSize];
  const long n = ReceiveReply(*this, connection, buffer, LogLine::kReceiveNg, kShortestReply,
                              LogLine::kReplyTooShort);
  if (n < 0) return false;
  if (buffer[n - 2] != '\r' || buffer[n - 1] != '\n') return false;
  *code = DecimalPrefix(buffer, 3);
  return true;
}

bool MailSender::ReadReply(Connection& connection, int expected, std::int32_t* code) {
  if (!ReadAnyReply(connection, code)) return false;
  if (*code == expected) return true;
  // Expecting 221 means this is the QUIT exchange itself.
  if (expected != 221) SendQuit(connection);
  WriteLog(LogLine::kReplyCodeNg);
  return false;
}

std::uint8_t MailSender::ReadEhloReply(Connection& connection, int expected, std::int32_t* code) {
  *code = 0;
  char buffer[kReceiveBufferSize];
  const long n = ReceiveReply(*this, connection, buffer, LogLine::kReceiveNg, kShortestReply,
                              LogLine::kReplyTooShort);
  if (n < 0) return 0;
  *code = DecimalPrefix(buffer, 3);
  if (*code != expected) {
    SendQuit(connection);
    WriteLog(LogLine::kEhloReplyCodeNg);
    return 0;
  }
  return EhloFlags(buffer, n);
}

}  // namespace tarnlet
