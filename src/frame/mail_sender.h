// The per-call object. Each export builds one on its stack; every send,
// receive, resolve and log routine of a call is one of its operations.
#ifndef TARNLET_FRAME_MAIL_SENDER_H_
#define TARNLET_FRAME_MAIL_SENDER_H_

#include <cstddef>
#include <cstdint>

#include "frame/outcomes.h"
#include "platform/platform.h"
#include "tarnlet.h"

namespace tarnlet {

class Connection;

// Bits of the byte ReadEhloReply returns; 0 means failure, or AUTH offered
// with no mechanism named here.
enum AuthFlag : std::uint8_t {
  kAuthNone = 1,  // the reply has no AUTH keyword
  kAuthLogin = 2,
  kAuthPlain = 4,
  kAuthCramMd5 = 8,
  kAuthDigestMd5 = 16,
  kStartTlsOffered = 32,  // the reply offers STARTTLS
  kAuthXoauth2 = 64,
  kAuthOauthBearer = 128,
};

class MailSender {
 public:
  MailSender();   // opens this call's handle to CallLock
  ~MailSender();  // closes it
  MailSender(const MailSender&) = delete;
  MailSender& operator=(const MailSender&) = delete;

  // --- frame (entry points, settings, log) ---
  ResultCode SendFromRecord(const char* body, const MailSettings* settings);
  ResultCode SendFromIni(const char* body, const char* iniPath);
  // As SendFromRecord, but the dialogue ends after the login with QUIT and
  // sends no message: the command's "oauth test". The recipient check is
  // not made.
  ResultCode CheckLoginFromRecord(const MailSettings* settings);
  // Returns true iff the process-global settings may be used for a call.
  bool ValidateSettings();
  // Appends one timestamped line to the log file of the settings; silently
  // nothing when it cannot be opened.
  int WriteLog(const char* message);
  // WriteLog of format with value in place of its one "%d".
  void WriteLogCode(const char* format, long value);
  // The line's text, with value in place of its "%d" if it has one.
  void WriteLog(LogLine line, long value = 0) { WriteLogCode(TextOf(line), value); }

  // --- transport ---
  // One 100 ms wait; false (after the time-out line) at the 3000th.
  bool PollWait(std::uint32_t* counter);
  bool SendAll(Connection& connection, const char* data, std::size_t length);
  bool ReadReply(Connection& connection, int expected, std::int32_t* code);
  std::uint8_t ReadEhloReply(Connection& connection, int expected, std::int32_t* code);
  // Copies the text of a 334 challenge, NUL-terminated, into out (capacity
  // bytes; the reader's whole receive always fits in kReceiveBufferSize).
  bool ReadChallenge(Connection& connection, char* out, std::size_t capacity);
  // One reply, whatever its code, stored in *code: for a step that may be
  // answered in more than one way. No QUIT is sent for any code.
  bool ReadAnyReply(Connection& connection, std::int32_t* code);
  bool SendQuit(Connection& connection);

  // --- address resolution ---
  bool IsDottedLiteral(const char* name);
  void NormalizeDotted(const char* name, char* out, std::size_t capacity);

  // --- mail transaction ---
  // Its steps (SendRecipients, SendMessageContent, AuthCramMd5, SendRset)
  // run on the dialogue's exchange: mail/smtp_steps.h.
  ResultCode RunSmtpDialogue(const char* body);
  // The dialogue up to and including the login, then QUIT.
  ResultCode RunLoginCheck();
  // 1 when the POP3 login went through and its connection is closed, else 0.
  int PopBeforeSmtp(const char* user, const char* password, const char* dotted, std::uint16_t port);
  bool ReadPopOk(Connection& connection);
  bool ReadApopTimestamp(Connection& connection, char* out, std::size_t capacity);

  std::int32_t lastReplyCode = 0;

 private:
  LockHandle lockHandle_;
};

}  // namespace tarnlet

#endif  // TARNLET_FRAME_MAIL_SENDER_H_
