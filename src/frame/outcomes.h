// Every result code a call can return and every line it can log, said
// once. The frame, the dialogue and the readers name their codes and lines
// from here; "tarnlet codes" and the tables of docs/result-codes.md come
// from these lists (a tool test holds the page to them). The whole-log and
// transcript tests keep their own expected bytes, so a typo here fails
// them. Each user expands only the columns it needs: the library carries
// neither the command's texts nor the page's.
//
// TARNLET_RESULT_CODES X(name, code, meaning, page):
//   name      codes::k<name> in the code
//   code      the value a call returns; 0 first, then falling
//   meaning   what "tarnlet codes" prints for it
//   page      its row in docs/result-codes.md (Markdown)
//
// TARNLET_LOG_LINES X(name, number, code, text):
//   name      LogLine::k<name> in the code
//   number    the three digits the text ends in (checked below)
//   code      the result the call returns after the line, by its name;
//             ByCaller where that is the code of whoever gave up: a
//             reader's detail line, a progress line, a summary that keeps
//             the code of the step that failed
//   text      the exact bytes, line end included, Shift-JIS as escapes;
//             "%d" takes an error number, a byte count or the time-out
// Adding a line is one row here plus the step that writes it.
#ifndef TARNLET_FRAME_OUTCOMES_H_
#define TARNLET_FRAME_OUTCOMES_H_

#include <cstddef>
#include <cstdint>

// clang-format off
#define TARNLET_RESULT_CODES(X) \
  X(Accepted, 0, \
    "message accepted by the server (250 after the end of data)", \
    "Message accepted: the server answered the end of data with 250. The closing QUIT is " \
    "sent, but a QUIT that fails after the message was accepted no longer turns this into a " \
    "failure (its lines -048/-049 and `1-097` are still logged).") \
  X(SmtpSocketFailed, -1, \
    "creating the SMTP socket failed", \
    "Creating the SMTP socket failed.") \
  X(SmtpConnectFailed, -2, \
    "connecting to the SMTP server failed, or switching the socket to non-blocking mode", \
    "Connecting to the SMTP server failed (refused, unreachable, a literal address that is " \
    "not valid), or switching the socket to non-blocking mode failed.") \
  X(NoGreeting, -3, \
    "no 220 greeting from the SMTP server, or TLS on port 465 failed", \
    "No 220 greeting from the SMTP server; on port 465, TLS failed (lines -105 to -108).") \
  X(SendFailed, -4, \
    "a send failed (command, header, text, attachment data, end of data or AUTH line)", \
    "A send failed: a command, a header line, the text, attachment data, the end-of-data " \
    "mark, or an AUTH exchange line.") \
  X(HelloRefused, -5, \
    "HELO or EHLO not answered with 250", \
    "HELO or EHLO not answered with 250.") \
  X(SenderRefused, -6, \
    "MAIL FROM not answered with 250", \
    "MAIL FROM not answered with 250.") \
  X(RecipientRefused, -7, \
    "a RCPT TO not answered with 250 (recipient refused)", \
    "A RCPT TO not answered with 250 (a recipient was refused).") \
  X(DataRefused, -8, \
    "DATA not answered with 354", \
    "DATA not answered with 354.") \
  X(MessageRefused, -9, \
    "the end of data not answered with 250 (message refused)", \
    "The end of data not answered with 250: the server refused the message.") \
  X(AttachmentUnreadable, -11, \
    "opening, positioning or reading an attachment file failed", \
    "Opening, positioning or reading an attachment file failed. The parts before it were " \
    "already sent; the server sees the connection close inside DATA.") \
  X(PopBeforeSmtpFailed, -12, \
    "POP before SMTP failed (on port 995 also: its TLS failed)", \
    "POP before SMTP failed (see its own lines -024 to -044; on port 995 also -117, its TLS " \
    "handshake or certificate failed).") \
  X(AuthRefused, -13, \
    "an authentication reply was not as expected (login refused, the EHLO reply on port 465 " \
    "or 587 unusable, or STARTTLS failed)", \
    "An authentication reply was not as expected: CRAM-MD5 refused, the challenge missing, " \
    "RSET refused, or on port 465 or 587 an EHLO reply that could not be read, was not 250, " \
    "or named AUTH with no known mechanism; on port 587, STARTTLS refused or followed by " \
    "other bytes, or its TLS failed (lines -105 to -112); AUTH PLAIN or LOGIN refused. With " \
    "an OAuth profile: the profile or token cache could not be used, the token endpoint " \
    "failed or refused, or the server refused the token (lines -118 to -128, -131).") \
  X(ChallengeNotBase64, -14, \
    "the CRAM-MD5 challenge is not valid base64", \
    "The CRAM-MD5 challenge is not valid base64.") \
  X(SmtpHostNotFound, -15, \
    "SMTP server name: host not found", \
    "SMTP server name: host not found.") \
  X(SmtpLookupTryAgain, -16, \
    "SMTP server name: temporary failure of the name service", \
    "SMTP server name: temporary failure of the name service.") \
  X(SmtpLookupNoRecovery, -17, \
    "SMTP server name: non-recoverable name service failure", \
    "SMTP server name: non-recoverable failure of the name service.") \
  X(SmtpNameHasNoAddress, -18, \
    "SMTP server name: the name has no address record", \
    "SMTP server name: the name exists but has no address.") \
  X(SmtpLookupOther, -19, \
    "SMTP server name: other lookup failure", \
    "SMTP server name: any other lookup failure (also: the socket library not started).") \
  X(PopHostNotFound, -20, \
    "POP3 server name: host not found", \
    "POP3 server name: host not found.") \
  X(PopLookupTryAgain, -21, \
    "POP3 server name: temporary failure of the name service", \
    "POP3 server name: temporary failure of the name service.") \
  X(PopLookupNoRecovery, -22, \
    "POP3 server name: non-recoverable name service failure", \
    "POP3 server name: non-recoverable failure of the name service.") \
  X(PopNameHasNoAddress, -23, \
    "POP3 server name: the name has no address record", \
    "POP3 server name: the name exists but has no address.") \
  X(PopLookupOther, -24, \
    "POP3 server name: other lookup failure", \
    "POP3 server name: any other lookup failure.") \
  X(NoMemoryForBody, -25, \
    "no memory for the converted body text", \
    "No memory for the converted body text.") \
  X(SubjectFailed, -26, \
    "no memory for the Subject, or encoding the Subject failed", \
    "No memory for the Subject, or encoding the Subject failed.") \
  X(StartupFailed, -27, \
    "starting the socket library failed", \
    "Starting the socket library (`WSAStartup`) failed.") \
  X(CcSendFailed, -29, \
    "sending the Cc header line failed", \
    "Sending the Cc header line failed.") \
  X(BadSettings, -30, \
    "the settings failed validation", \
    "The settings failed validation (see [settings.md](settings.md#validation)). `tarnlet " \
    "check` names the field.") \
  X(NoRecipientsOrMechanism, -32, \
    "no To and no Bcc recipient; or, on port 465 or 587, the server offers no login the " \
    "library can use", \
    "Neither a To list nor a Bcc list was given (checked first, no log line). Also, with " \
    "`Kind` 1 on port 465 or 587 (line 018): the server offers AUTH but no mechanism the " \
    "library can use: no CRAM-MD5, and PLAIN or LOGIN only outside TLS (no STARTTLS " \
    "offered), or only DIGEST-MD5; or an OAuth profile matches and the server offers " \
    "neither XOAUTH2 nor OAUTHBEARER inside TLS (line -129).")

#define TARNLET_LOG_LINES(X) \
  /* 初期化ﾌｧｲﾙﾃﾞｰﾀ異常-001 */ \
  X(BadSettings, 1, BadSettings, \
    "\x8f\x89\x8a\xfa\x89\xbb\xcc\xa7\xb2\xd9\xc3\xde\xb0\xc0\x88\xd9\x8f\xed-001") \
  X(StartupMiss, 2, StartupFailed, \
    "WSAStartup Miss-002") \
  /* ﾎｽﾄ名が見つからない-004 */ \
  X(SmtpHostNotFound, 4, SmtpHostNotFound, \
    "\xce\xbd\xc4\x96\xbc\x82\xaa\x8c\xa9\x82\xc2\x82\xa9\x82\xe7\x82\xc8\x82" \
      "\xa2-004") \
  /* ｻｰﾋﾞｽの異常-005 */ \
  X(SmtpLookupTryAgain, 5, SmtpLookupTryAgain, \
    "\xbb\xb0\xcb\xde\xbd\x82\xcc\x88\xd9\x8f\xed-005") \
  /* 回復不能なｴﾗｰ-006 */ \
  X(SmtpLookupNoRecovery, 6, SmtpLookupNoRecovery, \
    "\x89\xf1\x95\x9c\x95s\x94\x5c\x82\xc8\xb4\xd7\xb0-006") \
  /* ﾃﾞｰﾀﾚｺｰﾄﾞが見つからない-007 */ \
  X(SmtpNameHasNoAddress, 7, SmtpNameHasNoAddress, \
    "\xc3\xde\xb0\xc0\xda\xba\xb0\xc4\xde\x82\xaa\x8c\xa9\x82\xc2\x82\xa9\x82" \
      "\xe7\x82\xc8\x82\xa2-007") \
  /* その他-008 */ \
  X(SmtpLookupOther, 8, SmtpLookupOther, \
    "\x82\xbb\x82\xcc\x91\xbc-008") \
  /* ﾎｽﾄ名が見つからない-010 */ \
  X(PopHostNotFound, 10, PopHostNotFound, \
    "\xce\xbd\xc4\x96\xbc\x82\xaa\x8c\xa9\x82\xc2\x82\xa9\x82\xe7\x82\xc8\x82" \
      "\xa2-010") \
  /* ｻｰﾋﾞｽの異常-011 */ \
  X(PopLookupTryAgain, 11, PopLookupTryAgain, \
    "\xbb\xb0\xcb\xde\xbd\x82\xcc\x88\xd9\x8f\xed-011") \
  /* 回復不能なｴﾗｰ-012 */ \
  X(PopLookupNoRecovery, 12, PopLookupNoRecovery, \
    "\x89\xf1\x95\x9c\x95s\x94\x5c\x82\xc8\xb4\xd7\xb0-012") \
  /* ﾃﾞｰﾀﾚｺｰﾄﾞが見つからない-013 */ \
  X(PopNameHasNoAddress, 13, PopNameHasNoAddress, \
    "\xc3\xde\xb0\xc0\xda\xba\xb0\xc4\xde\x82\xaa\x8c\xa9\x82\xc2\x82\xa9\x82" \
      "\xe7\x82\xc8\x82\xa2-013") \
  /* その他-014 */ \
  X(PopLookupOther, 14, PopLookupOther, \
    "\x82\xbb\x82\xcc\x91\xbc-014") \
  /* Pop3認証 Miss-015 */ \
  X(PopBeforeSmtpMiss, 15, PopBeforeSmtpFailed, \
    "Pop3\x94\x46\x8f\xd8 Miss-015") \
  /* SMTP Auth3認証OP25B Miss-016 */ \
  X(AuthEhloUnusable, 16, AuthRefused, \
    "SMTP Auth3\x94\x46\x8f\xd8" "OP25B Miss-016") \
  X(SmtpSocketNg, 16, SmtpSocketFailed, \
    "SMTP SND : Sock Create Ng ErrCode=%d-016\r\n") \
  /* SMTP Auth3認証 Miss-017 */ \
  X(AuthCramMd5Miss, 17, ByCaller, \
    "SMTP Auth3\x94\x46\x8f\xd8 Miss-017") \
  /* SMTP Auth3認証OP25B Miss-017 */ \
  X(AuthRsetMiss, 17, ByCaller, \
    "SMTP Auth3\x94\x46\x8f\xd8" "OP25B Miss-017") \
  /* SMTP AuthOP25B 未実装 PLAIN LOGIN DIGEST-MD5 Miss-018 */ \
  X(AuthUnsupported, 18, NoRecipientsOrMechanism, \
    "SMTP AuthOP25B \x96\xa2\x8e\xc0\x91\x95 PLAIN LOGIN DIGEST-MD5 Miss-018") \
  X(SendNg, 18, ByCaller, \
    "SMTP SND : Snd Ng ErrCode=%d-018\r\n") \
  X(ReceiveNg, 20, ByCaller, \
    "SMTP SND : Rcv Ng ErrCode=%d-020\r\n") \
  X(ReplyTooShort, 21, ByCaller, \
    "SMTP SND : Rcv Ng RcvDatLen=%d-021\r\n") \
  X(ReplyCodeNg, 22, ByCaller, \
    "SMTP SND : Res Rcv Ng-022\r\n") \
  X(EhloReplyCodeNg, 22, ByCaller, \
    "SMTP SND : Res Rcv OP25B Ng-022\r\n") \
  X(TimeOut, 23, ByCaller, \
    "SMTP SND : Res TimeOut TimeOutVal=%d[mSec]-023\r\n") \
  X(PopStart, 24, ByCaller, \
    "POP3 BEFORE SMTP : Start-024\r\n") \
  X(PopSocketNg, 25, PopBeforeSmtpFailed, \
    "POP3 BEFORE SMTP : Sock Create Ng ErrCode=%d-025\r\n") \
  X(PopConnectNg, 26, PopBeforeSmtpFailed, \
    "POP3 BEFORE SMTP : Connect Ng ErrCode=%d-026\r\n") \
  X(PopNonBlockingNg, 27, PopBeforeSmtpFailed, \
    "POP3 BEFORE SMTP : None Blocking Mode Set Ng ErrCode=%d-027\r\n") \
  X(PopGreetingNg, 28, PopBeforeSmtpFailed, \
    "POP3 BEFORE SMTP : Server Ready Ng-028\r\n") \
  X(PopUserSendNg, 29, PopBeforeSmtpFailed, \
    "POP3 BEFORE SMTP : User Snd Ng-029\r\n") \
  X(PopUserNg, 30, PopBeforeSmtpFailed, \
    "POP3 BEFORE SMTP : User Understand Ng-030\r\n") \
  X(PopPassSendNg, 31, PopBeforeSmtpFailed, \
    "POP3 BEFORE SMTP : Password Snd Ng-031\r\n") \
  X(PopPassNg, 32, PopBeforeSmtpFailed, \
    "POP3 BEFORE SMTP : Password Understand Ng-032\r\n") \
  X(ApopTimestampNg, 33, PopBeforeSmtpFailed, \
    "Pop3 Rcv : TimeStamp Rcv Ng-033\r\n") \
  X(ApopSendNg, 34, PopBeforeSmtpFailed, \
    "POP3 RCV : User + Password Snd Ng-034\r\n") \
  X(ApopNg, 35, PopBeforeSmtpFailed, \
    "POP3 RCV : User + Password Understand Ng-035\r\n") \
  X(PopQuitSendNg, 36, PopBeforeSmtpFailed, \
    "POP3 BEFORE SMTP : Quit Snd Ng-036\r\n") \
  X(PopQuitNg, 37, PopBeforeSmtpFailed, \
    "POP3 BEFORE SMTP : Quit Ng-037\r\n") \
  X(PopComplete, 38, ByCaller, \
    "POP3 BEFORE SMTP : Complete-038\r\n") \
  X(PopReceiveNg, 39, ByCaller, \
    "POP3 BEFORE SMTP : Rcv Ng ErrCode=%d-039\r\n") \
  X(PopReplyTooShort, 40, ByCaller, \
    "POP3 BEFORE SMTP : Rcv Ng RcvDatLen=%d-040\r\n") \
  X(PopReplyNotOk, 42, ByCaller, \
    "POP3 BEFORE SMTP : Res Rcv Ng-042\r\n") \
  X(ApopReceiveNg, 43, ByCaller, \
    "POP3 RCV : Rcv Err ErrCode=%d-043\r\n") \
  X(ApopGreetingNg, 44, ByCaller, \
    "Pop3 Rcv : Res Rcv Ng-044\r\n") \
  X(ChallengeReceiveNg, 45, ByCaller, \
    "SMTP SND : Rcv Ng ErrCode=%d-045\r\n") \
  X(ChallengeTooShort, 46, ByCaller, \
    "SMTP SND : Rcv Ng RcvDatLen=%d-046\r\n") \
  X(ChallengeCodeNg, 47, ByCaller, \
    "SMTP SND : Res Rcv Ng-047\r\n") \
  X(QuitSendNg, 48, ByCaller, \
    "SMTP SND : Quit Snd Ng-048\r\n") \
  X(QuitReplyNg, 49, ByCaller, \
    "SMTP SND : Quit Understand Ng-049\r\n") \
  X(SmtpConnectNg, 50, SmtpConnectFailed, \
    "SMTP SND : Connect Ng ErrCode=%d-050\r\n") \
  X(SmtpNonBlockingNg, 51, SmtpConnectFailed, \
    "SMTP SND : None Bloking Mode Set Ng ErrCode=%d-051\r\n") \
  X(GreetingNg, 52, NoGreeting, \
    "SMTP SND : Server Ready Ng-052\r\n") \
  X(HelloSendNg, 53, SendFailed, \
    "SMTP SND : Domain Name Snd Ng-053\r\n") \
  X(HelloNg, 54, HelloRefused, \
    "SMTP SND : Domain Name Understand Ng-054\r\n") \
  X(MailFromSendNg, 56, SendFailed, \
    "SMTP SND : Snd Moto Mail Adr Snd Ng-056\r\n") \
  X(MailFromNg, 57, SenderRefused, \
    "SMTP SND : Snd Moto Mail Adr Understand Ng-057\r\n") \
  X(RecipientNg, 58, ByCaller, \
    "0-058\r\n") \
  X(DataSendNg, 59, SendFailed, \
    "SMTP SND : Mail Snd Start Snd Ng-059\r\n") \
  X(DataNg, 60, DataRefused, \
    "SMTP SND : Mail Snd Start Understand Ng-060\r\n") \
  X(ReplyToSendNg, 61, SendFailed, \
    "SMTP SND : Header Snd Ng-061\r\n") \
  X(FromSendNg, 62, SendFailed, \
    "SMTP SND : Header Snd Ng-062\r\n") \
  X(ToSendNg, 63, SendFailed, \
    "SMTP SND : Header Snd Ng-063\r\n") \
  X(CcSendNg, 64, CcSendFailed, \
    "SMTP SND : Header Snd Ng-064\r\n") \
  X(SubjectBufferNg, 65, SubjectFailed, \
    "SMTP SND : Title Buffer Get Ng-065\r\n") \
  X(SubjectSendBufferNg, 66, SubjectFailed, \
    "SMTP SND : Title Send Buffer Get Ng-066\r\n") \
  X(SubjectEncodeNg, 67, SubjectFailed, \
    "SMTP SND : Title Encode Ng-067\r\n") \
  X(SubjectSendNg, 68, SendFailed, \
    "SMTP SND : Header Snd Ng-068\r\n") \
  X(EmptySubjectSendNg, 70, SendFailed, \
    "SMTP SND : Header Snd Ng-070\r\n") \
  X(MimeVersionSendNg, 71, SendFailed, \
    "SMTP SND : Header Snd Ng-071\r\n") \
  X(DateSendNg, 72, SendFailed, \
    "SMTP SND : Header Snd Ng-072\r\n") \
  X(MessageIdSendNg, 74, SendFailed, \
    "SMTP SND : Header Snd Ng-074\r\n") \
  X(XMailerSendNg, 75, SendFailed, \
    "SMTP SND : Header Snd Ng-075\r\n") \
  X(MultipartTypeSendNg, 77, SendFailed, \
    "SMTP SND : Header Snd Ng-077\r\n") \
  X(BoundarySendNg, 78, SendFailed, \
    "SMTP SND : Header Snd Ng-078\r\n") \
  X(PreambleSendNg, 79, SendFailed, \
    "SMTP SND : Header Snd Ng-079\r\n") \
  X(TextDelimiterSendNg, 80, SendFailed, \
    "SMTP SND : Header Snd Ng-080\r\n") \
  X(TextTypeSendNg, 81, SendFailed, \
    "SMTP SND : Header Snd Ng-081r\n") \
  X(TextEncodingSendNg, 82, SendFailed, \
    "SMTP SND : Header Snd Ng-082\r\n") \
  X(TextBlankLineSendNg, 83, SendFailed, \
    "SMTP SND : Header Snd Ng-083\r\n") \
  X(BodyBufferNg, 84, NoMemoryForBody, \
    "SMTP SND : Text Buffer Get Ng-084\r\n") \
  X(BodySendNg, 85, SendFailed, \
    "SMTP SND : Text Snd Ng-085\r\n") \
  X(AttachmentDelimiterSendNg, 86, SendFailed, \
    "SMTP SND : Header Snd Ng-086\r\n") \
  X(AttachmentTypeSendNg, 87, SendFailed, \
    "SMTP SND : Header Snd Ng-087\r\n") \
  X(DispositionSendNg, 88, SendFailed, \
    "SMTP SND : Header Snd Ng-088\r\n") \
  X(DescriptionSendNg, 89, SendFailed, \
    "SMTP SND : Header Snd Ng-089\r\n") \
  X(AttachmentEncodingSendNg, 90, SendFailed, \
    "SMTP SND : Header Snd Ng-090\n") \
  X(AttachmentOpenNg, 91, AttachmentUnreadable, \
    "SMTP SND : Image File Open Ng-091\n") \
  X(AttachmentSeekNg, 92, AttachmentUnreadable, \
    "SMTP SND : Image File Pointer Move Ng-092\n") \
  X(AttachmentReadNg, 93, AttachmentUnreadable, \
    "SMTP SND : Image File Read Ng-093\n") \
  X(AttachmentDataSendNg, 94, SendFailed, \
    "SMTP SND : Image Dat Snd Ng-094\n") \
  X(EndOfDataSendNg, 95, SendFailed, \
    "SMTP SND : Mail Snd End Snd Ng-095\n") \
  X(MessageNg, 96, MessageRefused, \
    "SMTP SND : Mail Snd End Understand Ng-096\n") \
  X(QuitAfterAcceptNg, 97, Accepted, \
    "1-097\n") \
  X(AuthSendNg, 98, SendFailed, \
    "SMTP SND : Auth Command Snd Ng-098\r\n") \
  X(ChallengeNg, 99, AuthRefused, \
    "SMTP SND : Auth Command Understand Ng-099\r\n") \
  X(ChallengeBase64Ng, 100, ChallengeNotBase64, \
    "SMTP SND : Base64 -> Binary Change Ng-100\r\n") \
  X(ResponseSendNg, 101, SendFailed, \
    "SMTP SND : User + PassWord Snd Ng-101\r\n") \
  X(ResponseNg, 102, AuthRefused, \
    "SMTP SND : User + PassWord Ng-102\r\n") \
  X(RsetSendNg, 103, SendFailed, \
    "SMTP SND : Auth Command Snd Ng-103\r\n") \
  X(RsetNg, 104, AuthRefused, \
    "SMTP SND : User + PassWord Ng-104\r\n") \
  X(TlsStartNg, 105, ByCaller, \
    "SMTP SND : Tls Start Ng ErrCode=%d-105\r\n") \
  X(TlsHandshakeNg, 106, ByCaller, \
    "SMTP SND : Tls Handshake Ng ErrCode=%d-106\r\n") \
  X(TlsCertificateNg, 107, ByCaller, \
    "SMTP SND : Tls Certificate Ng ErrCode=%d-107\r\n") \
  X(SmtpTlsNg, 108, NoGreeting, \
    "SMTP SND : Tls Connect Ng-108\r\n") \
  X(StartTlsSendNg, 109, SendFailed, \
    "SMTP SND : StartTls Snd Ng-109\r\n") \
  X(StartTlsNg, 110, AuthRefused, \
    "SMTP SND : StartTls Understand Ng-110\r\n") \
  X(StartTlsInjectedNg, 111, ByCaller, \
    "SMTP SND : StartTls Rcv Ng RcvDatLen=%d-111\r\n") \
  X(StartTlsHandshakeNg, 112, AuthRefused, \
    "SMTP SND : StartTls Tls Connect Ng-112\r\n") \
  X(PlainSendNg, 113, SendFailed, \
    "SMTP SND : Auth Plain Snd Ng-113\r\n") \
  X(PlainNg, 114, AuthRefused, \
    "SMTP SND : Auth Plain Understand Ng-114\r\n") \
  X(LoginSendNg, 115, SendFailed, \
    "SMTP SND : Auth Login Snd Ng-115\r\n") \
  X(LoginNg, 116, AuthRefused, \
    "SMTP SND : Auth Login Understand Ng-116\r\n") \
  X(PopTlsNg, 117, PopBeforeSmtpFailed, \
    "POP3 BEFORE SMTP : Tls Connect Ng-117\r\n") \
  X(OauthProfileNg, 118, AuthRefused, \
    "SMTP SND : OAuth Profile Read Ng ErrCode=%d-118\r\n") \
  X(OauthFileOpenToOthers, 119, AuthRefused, \
    "SMTP SND : OAuth File Readable By Others Ng-119\r\n") \
  X(OauthProfileIncomplete, 120, AuthRefused, \
    "SMTP SND : OAuth Profile Value Ng-120\r\n") \
  X(OauthCacheNg, 121, AuthRefused, \
    "SMTP SND : OAuth Token Cache Ng ErrCode=%d-121\r\n") \
  X(OauthEndpointUnreachable, 122, AuthRefused, \
    "SMTP SND : OAuth Token Endpoint Connect Ng ErrCode=%d-122\r\n") \
  X(OauthEndpointTimeOut, 123, AuthRefused, \
    "SMTP SND : OAuth Token Endpoint TimeOut-123\r\n") \
  X(OauthEndpointCertificate, 124, AuthRefused, \
    "SMTP SND : OAuth Token Endpoint Certificate Ng ErrCode=%d-124\r\n") \
  X(OauthEndpointHttpNg, 125, AuthRefused, \
    "SMTP SND : OAuth Token Endpoint Http Ng Status=%d-125\r\n") \
  X(OauthAnswerNg, 126, AuthRefused, \
    "SMTP SND : OAuth Token Answer Ng-126\r\n") \
  X(OauthInvalidClient, 127, AuthRefused, \
    "SMTP SND : OAuth Invalid Client-127\r\n") \
  X(OauthInvalidGrant, 128, AuthRefused, \
    "SMTP SND : OAuth Invalid Grant-128\r\n") \
  X(OauthNotOffered, 129, NoRecipientsOrMechanism, \
    "SMTP SND : OAuth Mechanism Not Offered In Tls-129\r\n") \
  X(OauthSendNg, 130, SendFailed, \
    "SMTP SND : OAuth Auth Snd Ng-130\r\n") \
  X(OauthTokenRefused, 131, AuthRefused, \
    "SMTP SND : OAuth Token Refused-131\r\n")
// clang-format on

namespace tarnlet {

using ResultCode = std::int32_t;

namespace codes {
#define TARNLET_RESULT_CONSTANT(name, code, ...) constexpr ResultCode k##name = code;
TARNLET_RESULT_CODES(TARNLET_RESULT_CONSTANT)
#undef TARNLET_RESULT_CONSTANT
// No call returns it: a log line's code is that of whoever gave up.
constexpr ResultCode kByCaller = 1;
}  // namespace codes

// A log line by name, checked by the compiler: LogLine::kGreetingNg.
enum class LogLine : std::size_t {
#define TARNLET_LOG_LINE_ID(name, ...) k##name,
  TARNLET_LOG_LINES(TARNLET_LOG_LINE_ID)
#undef TARNLET_LOG_LINE_ID
};

struct LogLineInfo {
  int number;
  ResultCode code;
  const char* text;
};

#define TARNLET_LOG_LINE_INFO(name, number, code, text) LogLineInfo{number, codes::k##code, text},
constexpr LogLineInfo kLogLines[] = {TARNLET_LOG_LINES(TARNLET_LOG_LINE_INFO)};
#undef TARNLET_LOG_LINE_INFO
constexpr std::size_t kLogLineCount = sizeof kLogLines / sizeof kLogLines[0];

constexpr const LogLineInfo& InfoOf(LogLine line) {
  return kLogLines[static_cast<std::size_t>(line)];
}
constexpr const char* TextOf(LogLine line) { return InfoOf(line).text; }
constexpr ResultCode CodeOf(LogLine line) { return InfoOf(line).code; }

namespace outcomes_internal {

constexpr bool HoldsNumber(const char* text, int number) {
  const char digits[] = {static_cast<char>('0' + number / 100 % 10),
                         static_cast<char>('0' + number / 10 % 10),
                         static_cast<char>('0' + number % 10)};
  for (const char* p = text; *p != '\0'; ++p) {
    if (p[0] == '-' && p[1] == digits[0] && p[2] == digits[1] && p[3] == digits[2]) return true;
  }
  return false;
}

constexpr bool EveryLineHoldsItsNumber() {
  for (const LogLineInfo& line : kLogLines) {
    if (line.number < 1 || line.number > 999 || !HoldsNumber(line.text, line.number)) return false;
  }
  return true;
}

}  // namespace outcomes_internal

static_assert(outcomes_internal::EveryLineHoldsItsNumber(),
              "a row of TARNLET_LOG_LINES whose text does not hold its number");

}  // namespace tarnlet

#endif  // TARNLET_FRAME_OUTCOMES_H_
