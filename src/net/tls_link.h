// TLS under the transport. A connection whose handshake went through is
// remembered with its session, and SendAll and the readers' receive use the
// session from then on; everything above them is unchanged.
#ifndef TARNLET_NET_TLS_LINK_H_
#define TARNLET_NET_TLS_LINK_H_

#include "frame/mail_sender.h"

namespace tarnlet {

// The session of socket; null for a plain connection.
TlsHandle TlsSessionOf(SocketHandle socket);

// The handshake on socket for host, waiting in poll steps. Returns true when
// the connection is TLS from now on; false after logging the start,
// handshake or certificate line, or the time-out line. The socket stays open.
bool StartTlsSession(MailSender& sender, SocketHandle socket, const char* host);

// Send and Receive of the platform, or of the session when there is one.
IoResult ConnectionSend(SocketHandle socket, const char* data, std::size_t length);
IoResult ConnectionReceive(SocketHandle socket, char* buffer, std::size_t capacity);

// Ends the session of socket, if any, then closes the socket.
void CloseConnection(SocketHandle socket);

// The reply to STARTTLS, stored in *code: true when one receive holds
// exactly one 220 line and nothing else has arrived behind it. Another code
// is answered with QUIT and the "-022" line; bytes after the 220 line give
// the "-111" line with their count.
bool ReadStartTlsReply(MailSender& sender, SocketHandle socket, std::int32_t* code);

}  // namespace tarnlet

#endif  // TARNLET_NET_TLS_LINK_H_
