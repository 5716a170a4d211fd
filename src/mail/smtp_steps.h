// The steps of the SMTP exchange that live beside the dialogue. Each runs
// on the dialogue's exchange and gives up through it, so the socket is
// closed once and every line is written in the exchange's order.
#ifndef TARNLET_MAIL_SMTP_STEPS_H_
#define TARNLET_MAIL_SMTP_STEPS_H_

#include "net/exchange.h"

namespace tarnlet {

// AUTH CRAM-MD5 (RFC 2195), then RSET. 0 logged in and reset; -4 a send
// failed; -13 a reply was not the expected one; -14 the challenge is not
// valid base64.
ResultCode AuthCramMd5(Exchange& smtp, const char* user, const char* password);
// AUTH PLAIN (RFC 4616) or AUTH LOGIN, then RSET; only inside TLS. 0
// logged in and reset; -4 a send failed; -13 a reply was not the expected
// one.
ResultCode AuthPlain(Exchange& smtp, const char* user, const char* password);
ResultCode AuthLogin(Exchange& smtp, const char* user, const char* password);
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
