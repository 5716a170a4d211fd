// The log lines the login and dialogue tests expect, each written once as
// the log holds it (StoredLog adds the stamp), and the RFC texts they use.
// Japanese lines are Shift-JIS.
#ifndef TARNLET_TESTS_MAIL_LOG_LINES_H_
#define TARNLET_TESTS_MAIL_LOG_LINES_H_

#include <string>

namespace tarnlet {
namespace testing {
namespace lines {

// ﾎｽﾄ名が見つからない and the line's number: a server name not found.
inline std::string HostNotFound(const char* number) {
  return std::string(
             "\xce\xbd\xc4\x96\xbc\x82\xaa\x8c\xa9\x82\xc2\x82\xa9\x82\xe7\x82\xc8\x82\xa2") +
         number;
}

// SMTP
inline std::string SendNg(int error) {
  return "SMTP SND : Snd Ng ErrCode=" + std::to_string(error) + "-018\r\n";
}
inline const std::string kReplyNg = "SMTP SND : Res Rcv Ng-022\r\n";
inline const std::string kTimeOut = "SMTP SND : Res TimeOut TimeOutVal=300000[mSec]-023\r\n";
inline const std::string kChallengeCodeNg = "SMTP SND : Res Rcv Ng-047\r\n";
inline const std::string kAuthSendNg = "SMTP SND : Auth Command Snd Ng-098\r\n";
inline const std::string kChallengeNg = "SMTP SND : Auth Command Understand Ng-099\r\n";
inline const std::string kBase64Ng = "SMTP SND : Base64 -> Binary Change Ng-100\r\n";
inline const std::string kResponseSendNg = "SMTP SND : User + PassWord Snd Ng-101\r\n";
inline const std::string kResponseNg = "SMTP SND : User + PassWord Ng-102\r\n";
inline const std::string kRsetSendNg = "SMTP SND : Auth Command Snd Ng-103\r\n";
inline const std::string kRsetNg = "SMTP SND : User + PassWord Ng-104\r\n";
// ｢SMTP Auth3認証OP25B Miss-016｣ and its relatives.
inline const std::string kEhloUnusable = "SMTP Auth3\x94\x46\x8f\xd8OP25B Miss-016";
inline const std::string kLoginFailed = "SMTP Auth3\x94\x46\x8f\xd8 Miss-017";
inline const std::string kResetFailed = "SMTP Auth3\x94\x46\x8f\xd8OP25B Miss-017";
// ｢SMTP AuthOP25B 未対応 ... Miss-018｣
inline const std::string kOnlyOthers =
    "SMTP AuthOP25B \x96\xa2\x8e\xc0\x91\x95 PLAIN LOGIN DIGEST-MD5 Miss-018";

// POP before SMTP
inline const std::string kPopFailed = "Pop3\x94\x46\x8f\xd8 Miss-015";  // Pop3認証 Miss-015
inline const std::string kPopStart = "POP3 BEFORE SMTP : Start-024\r\n";
inline const std::string kPopGreetingNg = "POP3 BEFORE SMTP : Server Ready Ng-028\r\n";
inline const std::string kUserSendNg = "POP3 BEFORE SMTP : User Snd Ng-029\r\n";
inline const std::string kUserNg = "POP3 BEFORE SMTP : User Understand Ng-030\r\n";
inline const std::string kPassSendNg = "POP3 BEFORE SMTP : Password Snd Ng-031\r\n";
inline const std::string kPassNg = "POP3 BEFORE SMTP : Password Understand Ng-032\r\n";
inline const std::string kTimestampNg = "Pop3 Rcv : TimeStamp Rcv Ng-033\r\n";
inline const std::string kApopSendNg = "POP3 RCV : User + Password Snd Ng-034\r\n";
inline const std::string kApopNg = "POP3 RCV : User + Password Understand Ng-035\r\n";
inline const std::string kQuitSendNg = "POP3 BEFORE SMTP : Quit Snd Ng-036\r\n";
inline const std::string kQuitNg = "POP3 BEFORE SMTP : Quit Ng-037\r\n";
inline const std::string kPopComplete = "POP3 BEFORE SMTP : Complete-038\r\n";
inline std::string PopRcvNg(int error) {
  return "POP3 BEFORE SMTP : Rcv Ng ErrCode=" + std::to_string(error) + "-039\r\n";
}
inline const std::string kPopNotOk = "POP3 BEFORE SMTP : Res Rcv Ng-042\r\n";
inline std::string ApopRcvNg(int error) {
  return "POP3 RCV : Rcv Err ErrCode=" + std::to_string(error) + "-043\r\n";
}
inline const std::string kPopGreetingShort = "Pop3 Rcv : Res Rcv Ng-044\r\n";

// The examples of RFC 1939 (APOP) and RFC 2195 (CRAM-MD5, in base64).
inline const std::string kRfcGreeting =
    "+OK POP3 server ready <1896.697170952@dbc.mtview.ca.us>\r\n";
inline const std::string kRfcChallenge = "PDE4OTYuNjk3MTcwOTUyQHBvc3RvZmZpY2UucmVzdG9uLm1jaS5uZXQ+";
inline const std::string kRfcResponse = "dGltIGI5MTNhNjAyYzdlZGE3YTQ5NWI0ZTZlNzMzNGQzODkw";

}  // namespace lines
}  // namespace testing
}  // namespace tarnlet

#endif  // TARNLET_TESTS_MAIL_LOG_LINES_H_
