// POP before SMTP: one POP3 login (USER/PASS or APOP of RFC 1939) on a
// connection of its own, ended with QUIT, before the SMTP dialogue starts.
#include <cstdio>
#include <cstring>

#include "codec/md5.h"
#include "frame/globals.h"
#include "frame/mail_sender.h"
#include "mail/line_builder.h"
#include "mail/wipe.h"
#include "net/exchange.h"

namespace tarnlet {
namespace {

constexpr std::size_t kMaxCredential = sizeof(MailSettings::UserName) - 1;
static_assert(sizeof(MailSettings::Password) - 1 == kMaxCredential, "credential widths");
// "APOP ", user name, space, 32 hex digits, CR LF, NUL: the longest command.
constexpr std::size_t kCommandCapacity = 5 + kMaxCredential + 1 + 32 + 2 + 1;
// Any timestamp a greeting of one receive buffer can carry.
constexpr std::size_t kTimestampCapacity = kReceiveBufferSize;

// POP3 over implicit TLS.
constexpr std::uint16_t kPop3sPort = 995;

constexpr OpenFailures kPopOpenFailures = {LogLine::kPopSocketNg, LogLine::kPopConnectNg,
                                           LogLine::kPopNonBlockingNg};

// Sends prefix, value, suffix as one line; a value too long for any
// record is failed rather than cut.
ResultCode SendCommand(Exchange& pop, const char* prefix, const char* value, const char* suffix,
                       LogLine fail) {
  char command[kCommandCapacity];
  const int length = std::snprintf(command, sizeof command, "%s%s%s", prefix, value, suffix);
  if (length < 0 || static_cast<std::size_t>(length) >= sizeof command) {
    WipeSecret(command, sizeof command);
    return pop.GiveUp(fail);
  }
  const ResultCode r = pop.Command({command, static_cast<std::size_t>(length)}, fail);
  WipeSecret(command, sizeof command);  // PASS carries the password
  return r;
}

// The certificate must carry the POP3 server's name as given.
ResultCode StartTls(Exchange& pop) {
  char host[sizeof(MailSettings::POP3ServerAddress) + 1] = {};
  const std::string_view name = FieldText(g_mailSettings.POP3ServerAddress);
  std::memcpy(host, name.data(), name.size());
  return pop.StartTls(host, LogLine::kPopTlsNg);
}

ResultCode LogInWithUserPass(Exchange& pop, const char* user, const char* password) {
  ResultCode r = pop.ExpectPopOk(LogLine::kPopGreetingNg);
  if (r == 0) r = SendCommand(pop, "USER ", user, "\r\n", LogLine::kPopUserSendNg);
  if (r == 0) r = pop.ExpectPopOk(LogLine::kPopUserNg);
  if (r == 0) r = SendCommand(pop, "PASS ", password, "\r\n", LogLine::kPopPassSendNg);
  if (r == 0) r = pop.ExpectPopOk(LogLine::kPopPassNg);
  return r;
}

// "APOP", the user name and the MD5 over the timestamp (angle brackets
// included) directly followed by the password; fed in two parts, so no
// joined copy is needed.
ResultCode SendApop(Exchange& pop, const char* timestamp, const char* user, const char* password) {
  Md5Digest md5;
  Md5Context context;
  unsigned char digest[16];
  md5.Init(&context);
  md5.Update(&context, reinterpret_cast<const unsigned char*>(timestamp),
             static_cast<std::uint32_t>(std::strlen(timestamp)));
  md5.Update(&context, reinterpret_cast<const unsigned char*>(password),
             static_cast<std::uint32_t>(std::strlen(password)));
  md5.Final(digest, &context);
  char hex[33];
  DigestToHex(digest, hex);

  char suffix[1 + sizeof hex + 2];
  std::snprintf(suffix, sizeof suffix, " %s\r\n", hex);
  return SendCommand(pop, "APOP ", user, suffix, LogLine::kApopSendNg);
}

ResultCode LogInWithApop(Exchange& pop, const char* user, const char* password) {
  char timestamp[kTimestampCapacity];
  ResultCode r = pop.ExpectApopTimestamp(timestamp, sizeof timestamp, LogLine::kApopTimestampNg);
  if (r == 0) r = SendApop(pop, timestamp, user, password);
  if (r == 0) r = pop.ExpectPopOk(LogLine::kApopNg);
  return r;
}

ResultCode Quit(Exchange& pop) {
  ResultCode r = SendCommand(pop, "QUIT", "", "\r\n", LogLine::kPopQuitSendNg);
  if (r == 0) r = pop.ExpectPopOk(LogLine::kPopQuitNg);
  if (r == 0) pop.Close();
  return r;
}

}  // namespace

int MailSender::PopBeforeSmtp(const char* user, const char* password, const char* dotted,
                              std::uint16_t port) {
  WriteLog(LogLine::kPopStart);
  Exchange pop(*this, GiveUpOrder::kLogThenClose);
  ResultCode r = pop.Open(dotted, port, kPopOpenFailures);
  if (r == 0 && port == kPop3sPort) r = StartTls(pop);
  if (r == 0) {
    r = g_mailSettings.APOP != 0 ? LogInWithApop(pop, user, password)
                                 : LogInWithUserPass(pop, user, password);
  }
  if (r == 0) r = Quit(pop);
  if (r != 0) return 0;
  WriteLog(LogLine::kPopComplete);
  return 1;
}

}  // namespace tarnlet
