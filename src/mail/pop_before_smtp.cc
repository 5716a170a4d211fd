// POP before SMTP: one POP3 login (USER/PASS or APOP of RFC 1939) on a
// connection of its own, ended with QUIT, before the SMTP dialogue starts.
#include <cstdio>
#include <cstring>

#include "codec/md5.h"
#include "frame/globals.h"
#include "frame/mail_sender.h"

namespace tarnlet {
namespace {

constexpr char kStart[] = "POP3 BEFORE SMTP : Start-024\r\n";
constexpr char kSocketNg[] = "POP3 BEFORE SMTP : Sock Create Ng ErrCode=%d-025\r\n";
constexpr char kConnectNg[] = "POP3 BEFORE SMTP : Connect Ng ErrCode=%d-026\r\n";
constexpr char kNonBlockingNg[] = "POP3 BEFORE SMTP : None Blocking Mode Set Ng ErrCode=%d-027\r\n";
constexpr char kGreetingNg[] = "POP3 BEFORE SMTP : Server Ready Ng-028\r\n";
constexpr char kUserSendNg[] = "POP3 BEFORE SMTP : User Snd Ng-029\r\n";
constexpr char kUserNg[] = "POP3 BEFORE SMTP : User Understand Ng-030\r\n";
constexpr char kPassSendNg[] = "POP3 BEFORE SMTP : Password Snd Ng-031\r\n";
constexpr char kPassNg[] = "POP3 BEFORE SMTP : Password Understand Ng-032\r\n";
constexpr char kTimestampNg[] = "Pop3 Rcv : TimeStamp Rcv Ng-033\r\n";
constexpr char kApopSendNg[] = "POP3 RCV : User + Password Snd Ng-034\r\n";
constexpr char kApopNg[] = "POP3 RCV : User + Password Understand Ng-035\r\n";
constexpr char kQuitSendNg[] = "POP3 BEFORE SMTP : Quit Snd Ng-036\r\n";
constexpr char kQuitNg[] = "POP3 BEFORE SMTP : Quit Ng-037\r\n";
constexpr char kComplete[] = "POP3 BEFORE SMTP : Complete-038\r\n";

constexpr std::size_t kMaxCredential = sizeof(MailSettings::UserName) - 1;
static_assert(sizeof(MailSettings::Password) - 1 == kMaxCredential, "credential widths");
// "APOP ", user name, space, 32 hex digits, CR LF, NUL: the longest command.
constexpr std::size_t kCommandCapacity = 5 + kMaxCredential + 1 + 32 + 2 + 1;
// Any timestamp a greeting of one receive buffer can carry.
constexpr std::size_t kTimestampCapacity = kReceiveBufferSize;

// One POP3 connection: every failure writes its line first, then closes.
class Pop3Session {
 public:
  Pop3Session(MailSender& sender, SocketHandle socket) : sender_(sender), socket_(socket) {}

  bool Fail(const char* message) {
    sender_.WriteLog(message);
    CurrentPlatform().CloseSocket(socket_);
    return false;
  }
  bool FailCode(const char* format, int error) {
    sender_.WriteLogCode(format, error);
    CurrentPlatform().CloseSocket(socket_);
    return false;
  }

  // Sends prefix, value, suffix as one line; a value too long for any
  // record is failed rather than cut.
  bool SendCommand(const char* prefix, const char* value, const char* suffix) {
    char command[kCommandCapacity];
    const int length = std::snprintf(command, sizeof command, "%s%s%s", prefix, value, suffix);
    if (length < 0 || static_cast<std::size_t>(length) >= sizeof command) return false;
    return sender_.SendAll(socket_, command, static_cast<std::size_t>(length));
  }

  bool ReadOk() { return sender_.ReadPopOk(socket_); }
  bool ReadTimestamp(char* out, std::size_t capacity) {
    return sender_.ReadApopTimestamp(socket_, out, capacity);
  }

  bool LoginWithUserPass(const char* user, const char* password) {
    if (!ReadOk()) return Fail(kGreetingNg);
    if (!SendCommand("USER ", user, "\r\n")) return Fail(kUserSendNg);
    if (!ReadOk()) return Fail(kUserNg);
    if (!SendCommand("PASS ", password, "\r\n")) return Fail(kPassSendNg);
    if (!ReadOk()) return Fail(kPassNg);
    return true;
  }

  bool LoginWithApop(const char* user, const char* password) {
    char timestamp[kTimestampCapacity];
    if (!ReadTimestamp(timestamp, sizeof timestamp)) return Fail(kTimestampNg);

    // MD5 over the timestamp (angle brackets included) directly followed by
    // the password; fed in two parts, so no joined copy is needed.
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
    if (!SendCommand("APOP ", user, suffix)) return Fail(kApopSendNg);
    if (!ReadOk()) return Fail(kApopNg);
    return true;
  }

  bool Quit() {
    if (!SendCommand("QUIT", "", "\r\n")) return Fail(kQuitSendNg);
    if (!ReadOk()) return Fail(kQuitNg);
    CurrentPlatform().CloseSocket(socket_);
    return true;
  }

 private:
  MailSender& sender_;
  SocketHandle socket_;
};

}  // namespace

int MailSender::PopBeforeSmtp(const char* user, const char* password, const char* dotted,
                              std::uint16_t port) {
  Platform& platform = CurrentPlatform();
  WriteLog(kStart);

  int error = 0;
  const SocketHandle socket = platform.CreateTcpSocket(&error);
  if (socket == kInvalidSocket) {
    WriteLogCode(kSocketNg, error);
    return 0;
  }
  Pop3Session session(*this, socket);
  if (!platform.ConnectIpv4(socket, dotted, port, &error)) {
    session.FailCode(kConnectNg, error);
    return 0;
  }
  if (!platform.SetNonBlocking(socket, &error)) {
    session.FailCode(kNonBlockingNg, error);
    return 0;
  }

  const bool loggedIn = g_mailSettings.APOP != 0 ? session.LoginWithApop(user, password)
                                                 : session.LoginWithUserPass(user, password);
  if (!loggedIn || !session.Quit()) return 0;

  WriteLog(kComplete);
  return 1;
}

}  // namespace tarnlet
