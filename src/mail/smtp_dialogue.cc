// The SMTP dialogue of one call: server address, optional login, the
// transaction and QUIT, each step giving up with its own line and code.
#include <cstdint>
#include <cstring>

#include "frame/globals.h"
#include "mail/line_builder.h"
#include "mail/oauth_access_token.h"
#include "mail/oauth_profile.h"
#include "mail/smtp_steps.h"
#include "mail/wipe.h"
#include "net/resolve.h"

namespace tarnlet {
namespace {

constexpr std::uint16_t kSubmissionPort = 587;
constexpr std::uint16_t kImplicitTlsPort = 465;

// Copies of the whole fields, so any user name or password the record can
// hold reaches the login whole.
struct Credentials {
  char user[sizeof(MailSettings::UserName) + 1];
  char password[sizeof(MailSettings::Password) + 1];
  char host[sizeof(MailSettings::SMTPServerAddress) + 1];  // the certificate's name
};

template <std::size_t N, std::size_t M>
void CopyField(char (&copy)[N], const char (&field)[M]) {
  static_assert(N > M, "the copy holds the whole field and a NUL");
  std::memset(copy, 0, N);
  std::string_view text = FieldText(field);
  std::memcpy(copy, text.data(), text.size());
}

void CopyCredentials(Credentials* credentials) {
  CopyField(credentials->host, g_mailSettings.SMTPServerAddress);
  if (g_mailSettings.Kind == 0) return;
  CopyField(credentials->user, g_mailSettings.UserName);
  CopyField(credentials->password, g_mailSettings.Password);
}

constexpr OpenFailures kSmtpOpenFailures = {LogLine::kSmtpSocketNg, LogLine::kSmtpConnectNg,
                                            LogLine::kSmtpNonBlockingNg};

ResultCode RunPopBeforeSmtp(MailSender& sender) {
  char dotted[kDottedCapacity];
  ResultCode r = ResolveServer(sender, g_mailSettings.POP3ServerAddress, ServerRole::kPop3, dotted);
  if (r != 0) return r;
  if (sender.PopBeforeSmtp(g_mailSettings.UserName, g_mailSettings.Password, dotted,
                           g_mailSettings.POP3PortNo) == 0) {
    sender.WriteLog(LogLine::kPopBeforeSmtpMiss);
    return CodeOf(LogLine::kPopBeforeSmtpMiss);
  }
  return 0;
}

ResultCode SendHello(Exchange& smtp) {
  // EHLO only for CRAM-MD5 login, whatever the port.
  return SendLineOrFail(smtp,
                        {g_mailSettings.Kind == 1 ? "EHLO " : "HELO ",
                         FieldText(g_mailSettings.MyHostFQDNName), "\r\n"},
                        LogLine::kHelloSendNg);
}

using LogInStep = ResultCode (*)(Exchange&, const char*, const char*);

// A login step that failed has closed the socket: only the line is left.
ResultCode LogIn(Exchange& smtp, const Credentials& credentials, LogInStep step = AuthCramMd5) {
  ResultCode r = step(smtp, credentials.user, credentials.password);
  return r == 0 ? 0 : smtp.GiveUpWith(LogLine::kAuthCramMd5Miss, r);
}

// STARTTLS, the handshake, and EHLO again: what the server offered before
// TLS is forgotten.
ResultCode UpgradeToTls(Exchange& smtp, const Credentials& credentials) {
  ResultCode r = smtp.Command("STARTTLS\r\n", LogLine::kStartTlsSendNg);
  if (r == 0) r = smtp.ExpectStartTls(LogLine::kStartTlsNg);
  if (r == 0) r = smtp.StartTls(credentials.host, LogLine::kStartTlsHandshakeNg);
  if (r == 0) r = SendHello(smtp);
  return r;
}

constexpr std::uint8_t kOauthOffered = kAuthXoauth2 | kAuthOauthBearer;

// An OAuth step that failed before the AUTH line: its line, then the
// login's summary, the connection closed first.
ResultCode OauthFailed(Exchange& smtp, const OauthOutcome& outcome) {
  smtp.GiveUp(outcome.line, outcome.value);
  return smtp.GiveUpWith(LogLine::kAuthCramMd5Miss, CodeOf(outcome.line));
}

// XOAUTH2 where offered (both large providers take it), else OAUTHBEARER.
ResultCode LogInWithToken(Exchange& smtp, const Credentials& credentials,
                          const OauthProfile& profile, std::uint8_t flags) {
  Secret token;
  std::int64_t expiresIn = 0;
  const OauthOutcome outcome = ObtainAccessToken(profile, &token, &expiresIn);
  if (!outcome.ok) return OauthFailed(smtp, outcome);
  const OauthLogin login{
      (flags & kAuthXoauth2) != 0 ? OauthMechanism::kXoauth2 : OauthMechanism::kOauthBearer,
      credentials.user, &token, credentials.host, g_mailSettings.SMTPPortNo};
  const ResultCode r = AuthOauth(smtp, login);
  if (r == 0) return 0;
  // A refused token is not offered again by a later call of this process.
  if (r == CodeOf(LogLine::kOauthTokenRefused)) ForgetKeptToken(profile);
  return smtp.GiveUpWith(LogLine::kAuthCramMd5Miss, r);
}

// With a profile the login is OAuth or nothing: STARTTLS whenever offered,
// and a token only inside TLS; never the password.
ResultCode AuthenticateWithToken(Exchange& smtp, const Credentials& credentials,
                                 const OauthProfile& profile, std::uint8_t flags) {
  if (!smtp.Secure() && (flags & kStartTlsOffered) != 0) {
    ResultCode r = UpgradeToTls(smtp, credentials);
    if (r != 0) return r;
    flags = smtp.ReadEhloReply(250);
  }
  if (flags == 0) return smtp.GiveUp(LogLine::kAuthEhloUnusable);
  if (!smtp.Secure() || (flags & kOauthOffered) == 0) {
    return smtp.GiveUp(LogLine::kOauthNotOffered);
  }
  return LogInWithToken(smtp, credentials, profile, flags);
}

// The submission ports: an OAuth profile for the server and user decides
// first. Without one, what the EHLO reply offers decides between CRAM-MD5,
// PLAIN or LOGIN (inside TLS only), a bare RSET when no AUTH is offered at
// all, and refusal; the OAuth mechanisms count as not offered. STARTTLS
// comes first when offered in clear text without CRAM-MD5.
ResultCode AuthenticateForSubmission(Exchange& smtp, const Credentials& credentials) {
  std::uint8_t flags = smtp.ReadEhloReply(250);
  if (flags != 0) {
    OauthProfile profile;
    bool found = false;
    const OauthOutcome outcome =
        FindOauthProfile(credentials.host, credentials.user, &profile, &found);
    if (!outcome.ok) return OauthFailed(smtp, outcome);
    if (found) return AuthenticateWithToken(smtp, credentials, profile, flags);
  }
  if (!smtp.Secure() && (flags & kStartTlsOffered) != 0 && (flags & kAuthCramMd5) == 0) {
    ResultCode r = UpgradeToTls(smtp, credentials);
    if (r != 0) return r;
    flags = smtp.ReadEhloReply(250);
  }
  flags &= static_cast<std::uint8_t>(~(kStartTlsOffered | kOauthOffered));
  if (flags == 0) return smtp.GiveUp(LogLine::kAuthEhloUnusable);
  if ((flags & kAuthCramMd5) != 0) return LogIn(smtp, credentials);
  if (smtp.Secure() && (flags & kAuthPlain) != 0) return LogIn(smtp, credentials, AuthPlain);
  if (smtp.Secure() && (flags & kAuthLogin) != 0) return LogIn(smtp, credentials, AuthLogin);
  if ((flags & kAuthNone) != 0) {
    ResultCode r = SendRset(smtp);
    return r == 0 ? 0 : smtp.GiveUpWith(LogLine::kAuthRsetMiss, r);
  }
  return smtp.GiveUp(LogLine::kAuthUnsupported);
}

ResultCode Authenticate(Exchange& smtp, const Credentials& credentials) {
  const std::uint16_t port = g_mailSettings.SMTPPortNo;
  if (g_mailSettings.Kind == 1 && (port == kSubmissionPort || port == kImplicitTlsPort)) {
    return AuthenticateForSubmission(smtp, credentials);
  }
  ResultCode r = smtp.Expect(250, LogLine::kHelloNg);
  if (r == 0 && g_mailSettings.Kind == 1) r = LogIn(smtp, credentials);
  return r;
}

ResultCode SendMailFrom(Exchange& smtp) {
  ResultCode r =
      SendLineOrFail(smtp, {"MAIL FROM: <", FieldText(g_mailSettings.MyMailAddress), ">\r\n"},
                     LogLine::kMailFromSendNg);
  if (r == 0) r = smtp.Expect(250, LogLine::kMailFromNg);
  return r;
}

ResultCode SendAllRecipients(Exchange& smtp) {
  ResultCode r =
      SendRecipients(smtp, g_mailSettings.Address, g_mailSettings.Cc, g_mailSettings.Bcc);
  return r == 0 ? 0 : smtp.GiveUpWith(LogLine::kRecipientNg, r);
}

ResultCode StartData(Exchange& smtp) {
  ResultCode r = SendLineOrFail(smtp, {"DATA\r\n"}, LogLine::kDataSendNg);
  if (r == 0) r = smtp.Expect(354, LogLine::kDataNg);
  return r;
}

// The server has taken the message by now: a failed QUIT is logged, but the
// call still reports success so the host does not send the message twice.
void Quit(Exchange& smtp) {
  if (smtp.SendQuit()) {
    smtp.Close();
  } else {
    smtp.GiveUp(LogLine::kQuitAfterAcceptNg);
  }
}

// Everything before the transaction: the address, POP before SMTP, the
// connection, TLS on 465, the greeting, the hello and the login.
ResultCode OpenAndLogIn(MailSender& sender, Exchange& smtp, const Credentials& credentials) {
  char smtpDotted[kDottedCapacity];
  ResultCode r =
      ResolveServer(sender, g_mailSettings.SMTPServerAddress, ServerRole::kSmtp, smtpDotted);
  if (r == 0 && g_mailSettings.Kind == 2) r = RunPopBeforeSmtp(sender);
  if (r != 0) return r;
  // From here on, a step that fails has closed the socket and logged.
  r = smtp.Open(smtpDotted, g_mailSettings.SMTPPortNo, kSmtpOpenFailures);
  if (r == 0 && g_mailSettings.SMTPPortNo == kImplicitTlsPort) {
    r = smtp.StartTls(credentials.host, LogLine::kSmtpTlsNg);
  }
  if (r == 0) r = smtp.Expect(220, LogLine::kGreetingNg);
  if (r == 0) r = SendHello(smtp);
  if (r == 0) r = Authenticate(smtp, credentials);
  return r;
}

}  // namespace

ResultCode MailSender::RunSmtpDialogue(const char* body) {
  Credentials credentials = {};
  CopyCredentials(&credentials);
  Exchange smtp(*this, GiveUpOrder::kCloseThenLog);
  ResultCode r = OpenAndLogIn(*this, smtp, credentials);
  if (r == 0) r = SendMailFrom(smtp);
  if (r == 0) r = SendAllRecipients(smtp);
  if (r == 0) r = StartData(smtp);
  if (r == 0) r = SendMessageContent(smtp, body);
  if (r == 0) r = smtp.Expect(250, LogLine::kMessageNg);
  if (r == 0) Quit(smtp);
  WipeSecret(&credentials, sizeof credentials);
  return r;
}

ResultCode MailSender::RunLoginCheck() {
  Credentials credentials = {};
  CopyCredentials(&credentials);
  Exchange smtp(*this, GiveUpOrder::kCloseThenLog);
  ResultCode r = OpenAndLogIn(*this, smtp, credentials);
  if (r == 0) Quit(smtp);
  WipeSecret(&credentials, sizeof credentials);
  return r;
}

}  // namespace tarnlet
