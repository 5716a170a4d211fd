// SMTP AUTH with an OAuth 2.0 access token: XOAUTH2, or OAUTHBEARER (RFC
// 7628). The token rides in the initial response on one AUTH line (tokens
// run to several KB); the line is wiped after it went out.
#include <string>

#include "mail/smtp_steps.h"

namespace tarnlet {
namespace {

// RFC 7628 3.1: the authorization identity as a saslname, "," and "="
// escaped.
void AppendSaslName(Secret* out, const char* user) {
  for (const char* c = user; *c != '\0'; ++c) {
    if (*c == ',') {
      *out += "=2C";
    } else if (*c == '=') {
      *out += "=3D";
    } else {
      *out += *c;
    }
  }
}

Secret ClientMessage(const OauthLogin& login) {
  Secret message;
  if (login.mechanism == OauthMechanism::kXoauth2) {
    message = "user=";
    message += login.user;
    message += "\x01";
  } else {
    message = "n,a=";
    AppendSaslName(&message, login.user);
    message += ",\x01host=";
    message += login.host;
    message += "\x01port=";
    message += std::to_string(login.port).c_str();
    message += "\x01";
  }
  message += "auth=Bearer ";
  message += *login.token;
  message += "\x01\x01";
  return message;
}

// The server's 334 carries its error; the mechanism's answer ends the
// exchange so the server can refuse it (RFC 7628 3.2.3).
ResultCode AnswerErrorChallenge(Exchange& smtp, const OauthLogin& login) {
  ResultCode r = smtp.Command(login.mechanism == OauthMechanism::kXoauth2 ? "\r\n" : "AQ==\r\n",
                              LogLine::kOauthSendNg);
  if (r == 0) r = smtp.Expect(235, LogLine::kOauthTokenRefused);
  return r;
}

}  // namespace

ResultCode AuthOauth(Exchange& smtp, const OauthLogin& login) {
  ResultCode r = 0;
  {
    const Secret message = ClientMessage(login);
    r = SendEncoded(
        smtp, login.mechanism == OauthMechanism::kXoauth2 ? "AUTH XOAUTH2 " : "AUTH OAUTHBEARER ",
        message.data(), message.size(), LogLine::kOauthSendNg);
  }
  if (r != 0) return r;
  const int code = smtp.ReadAnyReply();
  if (code == 334) {
    r = AnswerErrorChallenge(smtp, login);
  } else if (code != 235) {
    // As any refused step: QUIT first, then the lines.
    if (code != 0) {
      smtp.SendQuit();
      smtp.GiveUp(LogLine::kReplyCodeNg);
    }
    r = smtp.GiveUp(LogLine::kOauthTokenRefused);
  }
  if (r == 0) r = SendRset(smtp);
  return r;
}

}  // namespace tarnlet
