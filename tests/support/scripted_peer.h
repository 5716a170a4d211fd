// A loopback server that follows a script and records every byte the
// client sent, for transcript tests of the SMTP and POP3 dialogues.
#ifndef TARNLET_TESTS_SUPPORT_SCRIPTED_PEER_H_
#define TARNLET_TESTS_SUPPORT_SCRIPTED_PEER_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tarnlet {
namespace testing {

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
  };
  Action action;
  std::string bytes;
  unsigned milliseconds = 0;
};

PeerStep Send(std::string bytes);
PeerStep ExpectLine();
PeerStep ReceiveData();
PeerStep Pause(unsigned milliseconds);
PeerStep Close();
PeerStep Reset();
PeerStep Stall();

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
