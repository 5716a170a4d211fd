// One connection's command/reply exchange: the sender that sends, reads
// and logs, the socket, and the order in which a failed step closes the
// socket and writes its line. Protocol steps above it read as their step
// lists: send this line, expect this code, or give up with this line and
// this code.
#ifndef TARNLET_NET_EXCHANGE_H_
#define TARNLET_NET_EXCHANGE_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "frame/mail_sender.h"

namespace tarnlet {

// SMTP closes the socket before its line; the POP3 login writes its line
// first and then closes.
enum class GiveUpOrder { kCloseThenLog, kLogThenClose };

// A log line and the code a failed step costs.
struct StepFailure {
  const char* line;
  ResultCode code;
};

// The steps of opening a connection; their lines carry the system's error
// number in a "%d".
struct OpenFailures {
  StepFailure socket;
  StepFailure connect;
  StepFailure nonBlocking;
};

class Exchange {
 public:
  // Without a socket, Open makes one. The exchange closes its socket only
  // when it gives up or at Close: a step that succeeds leaves it open for
  // the caller.
  Exchange(MailSender& sender, GiveUpOrder order, SocketHandle socket = kInvalidSocket)
      : sender_(sender), order_(order), socket_(socket) {}
  Exchange(const Exchange&) = delete;
  Exchange& operator=(const Exchange&) = delete;

  // Socket, blocking connect, then non-blocking mode for the polled
  // exchange. Returns 0, or the failed step's code after giving up.
  ResultCode Open(const char* dotted, std::uint16_t port, const OpenFailures& failures);

  // The TLS handshake for host (the name the certificate must carry), and
  // the reply to STARTTLS. 0, or code after GiveUp(failLine, code).
  ResultCode StartTls(const char* host, const char* failLine, ResultCode code);
  ResultCode ExpectStartTls(const char* failLine, ResultCode code);
  // Whether the connection runs inside TLS.
  bool Secure() const;

  // The bare steps, through the sender's operations. false (0 for the EHLO
  // flags) after the line that operation writes, if any; the exchange
  // stays open. The SMTP readers store the code in lastReplyCode.
  bool Send(std::string_view bytes);
  bool ReadReply(int expected);
  std::uint8_t ReadEhloReply(int expected);
  bool SendQuit();

  // Steps that give up themselves: 0, or code after GiveUp(failLine, code).
  ResultCode Command(std::string_view line, const char* failLine, ResultCode code);
  ResultCode Expect(int expected, const char* failLine, ResultCode code);
  ResultCode ExpectChallenge(char* out, std::size_t capacity, const char* failLine,
                             ResultCode code);
  ResultCode ExpectPopOk(const char* failLine, ResultCode code);
  ResultCode ExpectApopTimestamp(char* out, std::size_t capacity, const char* failLine,
                                 ResultCode code);

  // The one way out of a failed step: closes the socket (unless it is
  // closed already, by a step below or because none was made) and writes
  // line, in this exchange's order. Returns code.
  ResultCode GiveUp(const char* line, ResultCode code);
  // The same, with value in place of the "%d" of format.
  ResultCode GiveUp(const char* format, long value, ResultCode code);

  // The end of an exchange that went through.
  void Close();

 private:
  template <typename WriteLine>
  ResultCode Leave(WriteLine writeLine, ResultCode code);

  MailSender& sender_;
  const GiveUpOrder order_;
  SocketHandle socket_;
};

}  // namespace tarnlet

#endif  // TARNLET_NET_EXCHANGE_H_
