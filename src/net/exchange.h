// One connection's command/reply exchange: the sender that sends, reads
// and logs, the connection it owns, and the order in which a failed step
// closes the connection and writes its line. Protocol steps above it read as their step
// lists: send this line, expect this code, or give up with this line and
// this code.
#ifndef TARNLET_NET_EXCHANGE_H_
#define TARNLET_NET_EXCHANGE_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "frame/mail_sender.h"
#include "net/connection.h"

namespace tarnlet {

// SMTP closes the socket before its line; the POP3 login writes its line
// first and then closes.
enum class GiveUpOrder { kCloseThenLog, kLogThenClose };

// The lines of the steps of opening a connection; each carries the
// system's error number in its "%d".
struct OpenFailures {
  LogLine socket;
  LogLine connect;
  LogLine nonBlocking;
};

class Exchange {
 public:
  // Without a socket, Open makes one. The exchange closes its connection
  // when it gives up, at Close, or at the latest when it is destroyed: a
  // step that succeeds leaves it open for the caller.
  Exchange(MailSender& sender, GiveUpOrder order, SocketHandle socket = kInvalidSocket)
      : sender_(sender), order_(order), connection_(socket) {}
  Exchange(const Exchange&) = delete;
  Exchange& operator=(const Exchange&) = delete;

  // Socket, blocking connect, then non-blocking mode for the polled
  // exchange. Returns 0, or the failed step's line's code after giving up.
  ResultCode Open(const char* dotted, std::uint16_t port, const OpenFailures& failures);

  // The TLS handshake for host (the name the certificate must carry), and
  // the reply to STARTTLS. 0, or the code after GiveUp(fail).
  ResultCode StartTls(const char* host, LogLine fail);
  ResultCode ExpectStartTls(LogLine fail);
  // Whether the connection runs inside TLS.
  bool Secure() const { return connection_.Secure(); }

  // The bare steps, through the sender's operations. false (0 for the EHLO
  // flags) after the line that operation writes, if any; the exchange
  // stays open. The SMTP readers store the code in lastReplyCode.
  bool Send(std::string_view bytes);
  bool ReadReply(int expected);
  std::uint8_t ReadEhloReply(int expected);
  // The code of one reply (an AUTH that may be taken or challenged), or 0
  // after the reader's line; nothing is sent in answer to any code.
  int ReadAnyReply();
  bool SendQuit();

  // Steps that give up themselves: 0, or the code after GiveUp(fail).
  ResultCode Command(std::string_view line, LogLine fail);
  ResultCode Expect(int expected, LogLine fail);
  ResultCode ExpectChallenge(char* out, std::size_t capacity, LogLine fail);
  ResultCode ExpectPopOk(LogLine fail);
  ResultCode ExpectApopTimestamp(char* out, std::size_t capacity, LogLine fail);

  // The one way out of a failed step: closes the connection (unless it is
  // closed already, by a step below or because none was made) and writes
  // line (value in its "%d"), in this exchange's order. Returns the line's
  // code.
  ResultCode GiveUp(LogLine line, long value = 0);
  // The same for a line whose code is that of the step that failed.
  ResultCode GiveUpWith(LogLine line, ResultCode code);

  // The end of an exchange that went through.
  void Close();

 private:
  // SMTP's order: the connection is closed before the line is written.
  void CloseAndLog(LogLine line, long value);
  // The POP3 login's order: the line first, then the close.
  void LogAndClose(LogLine line, long value);

  MailSender& sender_;
  const GiveUpOrder order_;
  Connection connection_;
};

}  // namespace tarnlet

#endif  // TARNLET_NET_EXCHANGE_H_
