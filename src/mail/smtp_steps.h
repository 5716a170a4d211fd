// The steps of the SMTP exchange that live beside the dialogue. Each runs
// on the dialogue's exchange and gives up through it, so the socket is
// closed once and every line is written in the exchange's order.
#ifndef TARNLET_MAIL_SMTP_STEPS_H_
#define TARNLET_MAIL_SMTP_STEPS_H_

#include <cstdint>

#include "mail/oauth_secret.h"
#include "net/exchange.h"

namespace tarnlet {

// Sends prefix, the base64 of data (length bytes) and CR LF as one line,
// wiped after it went out: the login's secrets ride in it. 0, or -4 after
// logging fail.
ResultCode SendEncoded(Exchange& smtp, const char* prefix, const char* data, std::size_t length,
                       LogLine fail);

// AUTH CRAM-MD5 (RFC 2195), then RSET. 0 logged in and reset; -4 a send
// failed; -13 a reply was not the expected one; -14 the challenge is not
// valid base64.
ResultCode AuthCramMd5(Exchange& smtp, const char* user, const char* password);
// AUTH PLAIN (RFC 4616) or AUTH LOGIN, then RSET; only inside TLS. 0
// logged in and reset; -4 a send failed; -13 a reply was not the expected
// one.
ResultCode AuthPlain(Exchange& smtp, const char* user, const char* password);
ResultCode AuthLogin(Exchange& smtp, const char* user, const char* password);
// AUTH XOAUTH2 or AUTH OAUTHBEARER (RFC 7628 3.1) with an access token in
// the initial response, then RSET; only inside TLS. A token the server
// refuses with its 334 error challenge gets the answer the mechanism asks
// for (an empty line; ^A for OAUTHBEARER), then the refusal and QUIT. 0
// logged in and reset; -4 a send failed; -13 the token was refused.
enum class OauthMechanism { kXoauth2, kOauthBearer };
struct OauthLogin {
  OauthMechanism mechanism;
  const char* user;
  const Secret* token;
  const char* host;  // the server's name and port, for OAUTHBEARER
  std::uint16_t port;
};
ResultCode AuthOauth(Exchange& smtp, const OauthLogin& login);
// RSET alone. 0 reset done; -4 the send failed; -13 the reply was not 250.
ResultCode SendRset(Exchange& smtp);

// One RCPT TO per address of the three lists. 0, -4 a send failed, -7 a
// reply was not 250; the exchange stays open: the dialogue gives up.
ResultCode SendRecipients(Exchange& smtp, const char* to, const char* cc, const char* bcc);

// Header fields, parts and the end-of-data marker. 0, or a negative code
// after giving up.
ResultCode SendMessageContent(Exchange& smtp, const char* body);

}  // namespace tarnlet

#endif  // TARNLET_MAIL_SMTP_STEPS_H_
