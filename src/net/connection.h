// One connection of a call: its socket and, once a handshake has begun,
// its TLS session. Close ends the session and then closes the socket, and
// the destructor closes whatever is still open, so no way out of a call
// can leave either behind or hand a session to the next socket.
#ifndef TARNLET_NET_CONNECTION_H_
#define TARNLET_NET_CONNECTION_H_

#include <cstddef>

#include "frame/mail_sender.h"
#include "platform/platform.h"

namespace tarnlet {

class Connection final : private TlsWire {
 public:
  // Takes over socket, if any; Adopt takes over one made later.
  explicit Connection(SocketHandle socket = kInvalidSocket) : socket_(socket) {}
  ~Connection() { Close(); }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // REQUIRES: no socket held.
  void Adopt(SocketHandle socket) { socket_ = socket; }
  SocketHandle socket() const { return socket_; }
  // Whether the handshake went through: the connection runs inside TLS.
  bool Secure() const { return secure_; }

  // The handshake for host (the name the certificate must carry), waiting
  // in the sender's poll steps. false after the start, handshake or
  // certificate line, or the time-out line; the connection stays open.
  bool StartTls(MailSender& sender, const char* host);

  // The platform's Send and Receive on the socket, or the session's once
  // the connection is secure.
  IoResult Send(const char* data, std::size_t length);
  IoResult Receive(char* buffer, std::size_t capacity);

  void Close();

 private:
  // The wire under the session: the socket, through the installed platform.
  IoResult Write(const char* data, std::size_t length) override;
  IoResult Read(char* buffer, std::size_t capacity) override;

  SocketHandle socket_;
  TlsHandle tls_ = nullptr;
  bool secure_ = false;
};

// Logs a failed send or receive: the TLS handshake or certificate line
// when the session failed, else line with the error number.
void LogIoFailure(MailSender& sender, const IoResult& result, LogLine line);

}  // namespace tarnlet

#endif  // TARNLET_NET_CONNECTION_H_
