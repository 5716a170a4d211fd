// The reply to STARTTLS: the last thing read in clear text before the
// handshake.
#ifndef TARNLET_NET_STARTTLS_REPLY_H_
#define TARNLET_NET_STARTTLS_REPLY_H_

#include <cstdint>

#include "net/connection.h"

namespace tarnlet {

// Stores the reply's code in *code. True when one receive holds exactly one
// 220 line and nothing else has arrived behind it. Another code is
// answered with QUIT and the "-022" line; bytes after the 220 line give
// the "-111" line with their count; a connection that fails or ends right
// after it the "-020" line; a reply without its line end gives no line of
// its own.
bool ReadStartTlsReply(MailSender& sender, Connection& connection, std::int32_t* code);

}  // namespace tarnlet

#endif  // TARNLET_NET_STARTTLS_REPLY_H_
