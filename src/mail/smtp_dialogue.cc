// The SMTP dialogue of one call: server address, optional login, the
// transaction and QUIT, each step giving up with its own line and code.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "frame/globals.h"
#include "mail/line_builder.h"
#include "net/resolve.h"

namespace tarnlet {
namespace {

// "SMTP Auth3認証OP25B Miss-016"
const char kAuthEhloUnusable[] =
    "SMTP Auth3\x94\x46\x8f\xd8"
    "OP25B Miss-016";
// "SMTP Auth3認証 Miss-017"
const char kAuthCramMd5Failed[] = "SMTP Auth3\x94\x46\x8f\xd8 Miss-017";
// "SMTP Auth3認証OP25B Miss-017"
const char kAuthRsetFailed[] =
    "SMTP Auth3\x94\x46\x8f\xd8"
    "OP25B Miss-017";
// "SMTP AuthOP25B 未実装 PLAIN LOGIN DIGEST-MD5 Miss-018"
const char kAuthUnsupported[] =
    "SMTP AuthOP25B \x96\xa2\x8e\xc0\x91\x95 PLAIN LOGIN DIGEST-MD5 Miss-018";
// "Pop3認証 Miss-015"
const char kPopBeforeSmtpFailed[] = "Pop3\x94\x46\x8f\xd8 Miss-015";

constexpr std::uint16_t kSubmissionPort = 587;

// Copies of the whole fields, so any user name or password the record can
// hold reaches the login whole.
struct Credentials {
  char user[sizeof(MailSettings::UserName) + 1];
  char password[sizeof(MailSettings::Password) + 1];
};

template <std::size_t N, std::size_t M>
void CopyField(char (&copy)[N], const char (&field)[M]) {
  static_assert(N > M, "the copy holds the whole field and a NUL");
  std::memset(copy, 0, N);
  std::string_view text = FieldText(field);
  std::memcpy(copy, text.data(), text.size());
}

void CopyCredentials(Credentials* credentials) {
  if (g_mailSettings.Kind == 0) return;
  CopyField(credentials->user, g_mailSettings.UserName);
  CopyField(credentials->password, g_mailSettings.Password);
}

ResultCode ExpectReply(MailSender& sender, SocketHandle socket, int expected, const char* failLine,
                       ResultCode code) {
  if (!sender.ReadReply(socket, expected, &sender.lastReplyCode)) {
    return CloseAndFail(sender, socket, failLine, code);
  }
  return 0;
}

ResultCode RunPopBeforeSmtp(MailSender& sender) {
  char dotted[kDottedCapacity];
  ResultCode r = ResolveServer(sender, g_mailSettings.POP3ServerAddress, ServerRole::kPop3, dotted);
  if (r != 0) return r;
  if (sender.PopBeforeSmtp(g_mailSettings.UserName, g_mailSettings.Password, dotted,
                           g_mailSettings.POP3PortNo) == 0) {
    sender.WriteLog(kPopBeforeSmtpFailed);
    return -12;
  }
  return 0;
}

// Socket, blocking connect, then non-blocking mode for the polled exchange.
ResultCode OpenConnection(MailSender& sender, const char* dotted, SocketHandle* out) {
  Platform& platform = CurrentPlatform();
  int error = 0;
  const SocketHandle socket = platform.CreateTcpSocket(&error);
  if (socket == kInvalidSocket) {
    sender.WriteLogCode("SMTP SND : Sock Create Ng ErrCode=%d-016\r\n", error);
    return -1;
  }
  if (!platform.ConnectIpv4(socket, dotted, g_mailSettings.SMTPPortNo, &error)) {
    std::snprintf(g_formatBuffer, kFormatBufferSize, "SMTP SND : Connect Ng ErrCode=%d-050\r\n",
                  error);
    return CloseAndFail(sender, socket, g_formatBuffer, -2);
  }
  if (!platform.SetNonBlocking(socket, &error)) {
    std::snprintf(g_formatBuffer, kFormatBufferSize,
                  "SMTP SND : None Bloking Mode Set Ng ErrCode=%d-051\r\n", error);
    return CloseAndFail(sender, socket, g_formatBuffer, -2);
  }
  *out = socket;
  return 0;
}

ResultCode SendHello(MailSender& sender, SocketHandle socket) {
  // EHLO only for CRAM-MD5 login, whatever the port.
  return SendLineOrFail(sender, socket,
                        {g_mailSettings.Kind == 1 ? "EHLO " : "HELO ",
                         FieldText(g_mailSettings.MyHostFQDNName), "\r\n"},
                        "SMTP SND : Domain Name Snd Ng-053\r\n", -4);
}

ResultCode LogIn(MailSender& sender, SocketHandle socket, const Credentials& credentials) {
  ResultCode r = sender.AuthCramMd5(socket, credentials.user, credentials.password);
  if (r != 0) sender.WriteLog(kAuthCramMd5Failed);  // the socket is already closed
  return r;
}

// The submission port: what the EHLO reply offers decides between CRAM-MD5,
// a bare RSET when no AUTH is offered at all, and refusal.
ResultCode AuthenticateForSubmission(MailSender& sender, SocketHandle socket,
                                     const Credentials& credentials) {
  const std::uint8_t flags = sender.ReadEhloReply(socket, 250, &sender.lastReplyCode);
  if (flags == 0) return CloseAndFail(sender, socket, kAuthEhloUnusable, -13);
  if ((flags & kAuthCramMd5) != 0) return LogIn(sender, socket, credentials);
  if ((flags & kAuthNone) != 0) {
    ResultCode r = sender.SendRset(socket, credentials.user, credentials.password);
    if (r != 0) sender.WriteLog(kAuthRsetFailed);
    return r;
  }
  return CloseAndFail(sender, socket, kAuthUnsupported, -32);
}

ResultCode Authenticate(MailSender& sender, SocketHandle socket, const Credentials& credentials) {
  if (g_mailSettings.Kind == 1 && g_mailSettings.SMTPPortNo == kSubmissionPort) {
    return AuthenticateForSubmission(sender, socket, credentials);
  }
  ResultCode r =
      ExpectReply(sender, socket, 250, "SMTP SND : Domain Name Understand Ng-054\r\n", -5);
  if (r == 0 && g_mailSettings.Kind == 1) r = LogIn(sender, socket, credentials);
  return r;
}

ResultCode SendMailFrom(MailSender& sender, SocketHandle socket) {
  ResultCode r = SendLineOrFail(sender, socket,
                                {"MAIL FROM: <", FieldText(g_mailSettings.MyMailAddress), ">\r\n"},
                                "SMTP SND : Snd Moto Mail Adr Snd Ng-056\r\n", -4);
  if (r != 0) return r;
  return ExpectReply(sender, socket, 250, "SMTP SND : Snd Moto Mail Adr Understand Ng-057\r\n", -6);
}

ResultCode SendAllRecipients(MailSender& sender, SocketHandle socket) {
  ResultCode r =
      sender.SendRecipients(socket, g_mailSettings.Address, g_mailSettings.Cc, g_mailSettings.Bcc);
  if (r != 0) return CloseAndFail(sender, socket, "0-058\r\n", r);
  return 0;
}

ResultCode StartData(MailSender& sender, SocketHandle socket) {
  ResultCode r =
      SendLineOrFail(sender, socket, {"DATA\r\n"}, "SMTP SND : Mail Snd Start Snd Ng-059\r\n", -4);
  if (r != 0) return r;
  return ExpectReply(sender, socket, 354, "SMTP SND : Mail Snd Start Understand Ng-060\r\n", -8);
}

// The server has taken the message by now: a failed QUIT is logged, but the
// call still reports success so the host does not send the message twice.
void Quit(MailSender& sender, SocketHandle socket) {
  if (!sender.SendQuit(socket)) {
    sender.CloseAndLog(socket, "1-097\n");
    return;
  }
  CurrentPlatform().CloseSocket(socket);
}

}  // namespace

ResultCode MailSender::RunSmtpDialogue(const char* body) {
  Credentials credentials = {};
  CopyCredentials(&credentials);
  char smtpDotted[kDottedCapacity];
  ResultCode r =
      ResolveServer(*this, g_mailSettings.SMTPServerAddress, ServerRole::kSmtp, smtpDotted);
  if (r == 0 && g_mailSettings.Kind == 2) r = RunPopBeforeSmtp(*this);
  SocketHandle socket = kInvalidSocket;
  if (r == 0) r = OpenConnection(*this, smtpDotted, &socket);
  if (r != 0) return r;
  // From here on, a step that fails has closed the socket and logged.
  r = ExpectReply(*this, socket, 220, "SMTP SND : Server Ready Ng-052\r\n", -3);
  if (r == 0) r = SendHello(*this, socket);
  if (r == 0) r = Authenticate(*this, socket, credentials);
  if (r == 0) r = SendMailFrom(*this, socket);
  if (r == 0) r = SendAllRecipients(*this, socket);
  if (r == 0) r = StartData(*this, socket);
  if (r == 0) r = SendMessageContent(socket, body);
  if (r == 0) {
    r = ExpectReply(*this, socket, 250, "SMTP SND : Mail Snd End Understand Ng-096\n", -9);
  }
  if (r == 0) Quit(*this, socket);
  return r;
}

}  // namespace tarnlet
