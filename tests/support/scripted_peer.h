// A loopback server that follows a script and records every byte the
// client sent, for transcript tests of the SMTP and POP3 dialogues; and an
// SMTP server with a default reply for each step that a test overrides by
// the step's name.
#ifndef TARNLET_TESTS_SUPPORT_SCRIPTED_PEER_H_
#define TARNLET_TESTS_SUPPORT_SCRIPTED_PEER_H_

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tarnlet {
namespace testing {

struct PeerStep;
// What an answering server does at each named step.
using StepAnswers = std::map<std::string, std::vector<PeerStep>>;

struct PeerStep {
  enum class Action {
    kSend,         // send bytes as one segment
    kExpectLine,   // read one client line, up to and including LF
    kReceiveData,  // read client bytes up to and including CR LF "." CR LF
    kPause,        // sleep milliseconds
    kClose,        // orderly close: the peer stops sending (the client reads
                   // end of stream), records what the client still sends
                   // until it closes, then closes; later steps are ignored
    kReset,        // abortive close: the client sees a connection reset;
                   // nothing more is recorded, later steps are ignored
    kStall,        // keep the connection open and silent until the client closes
    kAnswer,       // serve the rest of the connection from answers (SmtpServer)
  };
  Action action;
  std::string bytes;
  unsigned milliseconds;
  std::shared_ptr<const StepAnswers> answers;
};

PeerStep Send(std::string bytes);
PeerStep ExpectLine();
PeerStep ReceiveData();
PeerStep Pause(unsigned milliseconds);
PeerStep Close();
PeerStep Reset();
PeerStep Stall();

// The peer answers each client line with the next reply.
std::vector<PeerStep> AnswerLines(const std::vector<std::string>& replies);
// The peer greets first, then answers each client line with the next reply.
std::vector<PeerStep> GreetThenAnswer(const std::string& greeting,
                                      const std::vector<std::string>& replies);

// An SMTP server that accepts a message: it greets, answers each client
// line by its step, the command's first word ("RESPONSE" for a line that is
// no command, such as the CRAM-MD5 answer), takes the message after a 3xx
// reply to DATA and answers its end ("END"). The defaults: "greet" 220,
// HELO and EHLO 250 hello, MAIL 250 sender ok, RCPT 250 rcpt ok, DATA 354
// go ahead, END 250 queued, QUIT 221 bye, RSET 250 reset, RESPONSE 235 ok, STARTTLS 220 go ahead;
// any other line 500. A test overrides only the steps it is about.
class SmtpServer {
 public:
  SmtpServer();
  // The reply (whole lines, CR LF included) the server sends at step.
  SmtpServer& Reply(const std::string& step, const std::string& reply);
  // What the server does at step instead: a reply in pieces, Close() ...
  SmtpServer& At(const std::string& step, std::vector<PeerStep> steps);
  // The script a ScriptedPeer runs.
  operator std::vector<PeerStep>() const;

 private:
  StepAnswers answers_;
};

// Listens on 127.0.0.1 at an ephemeral port and serves one connection on a
// thread of its own. After the last step it keeps reading (and recording)
// until the client closes, unless the script closed first. A client that
// closes in the middle of the script ends it there.
class ScriptedPeer {
 public:
  explicit ScriptedPeer(std::vector<PeerStep> script);
  ~ScriptedPeer();  // ends the connection if still open and joins the thread
  ScriptedPeer(const ScriptedPeer&) = delete;
  ScriptedPeer& operator=(const ScriptedPeer&) = delete;

  std::uint16_t port() const;
  // Waits until the connection has ended and returns every byte the client
  // sent, in order. Bounded: it gives up when no client came within a
  // second of the call, or the connection stayed idle for three seconds.
  std::string Transcript();
  // Whether a client connected at all; call it after the client is done
  // (it waits up to a second for a connection still in the backlog).
  bool Connected();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// A port on 127.0.0.1 on which nothing listens.
std::uint16_t ClosedPort();

}  // namespace testing
}  // namespace tarnlet

#endif  // TARNLET_TESTS_SUPPORT_SCRIPTED_PEER_H_
