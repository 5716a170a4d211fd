// The receive step shared by the reply readers: one receive that returns
// data, waiting in poll steps while there is none yet.
#ifndef TARNLET_NET_RECEIVE_ONCE_H_
#define TARNLET_NET_RECEIVE_ONCE_H_

#include "frame/globals.h"
#include "frame/mail_sender.h"
#include "net/connection.h"

namespace tarnlet {

// Receives into buffer (kReceiveBufferSize bytes). Returns the count (> 0),
// or -1 after logging: errorLine with the error number for a failed
// receive or a connection the peer closed (with the reset number), the TLS
// line of a session that failed, or the time-out line of PollWait.
long ReceiveOnce(MailSender& sender, Connection& connection, char* buffer, LogLine errorLine);

// ReceiveOnce, where fewer than shortest bytes are no reply: those log
// shortLine with their count. Returns the count, or -1 after logging.
long ReceiveReply(MailSender& sender, Connection& connection, char* buffer, LogLine errorLine,
                  long shortest, LogLine shortLine);

}  // namespace tarnlet

#endif  // TARNLET_NET_RECEIVE_ONCE_H_
