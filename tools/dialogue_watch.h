// Reads the bytes one call sends and receives, connection by connection,
// as the SMTP or POP3 dialogue they carry: client lines (secrets masked),
// server lines, and the message content as a count. It only looks; what
// it is given has already gone over the wire.
#ifndef TARNLET_TOOLS_DIALOGUE_WATCH_H_
#define TARNLET_TOOLS_DIALOGUE_WATCH_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tarnlet {
namespace tool {

struct TraceLine {
  enum class From { kClient, kServer, kNote };
  From from;
  std::string text;  // printable ASCII: other bytes as \xHH, no line end
};

// "C: ", "S: " or "* " and the text.
std::string Shown(const TraceLine& line);

class DialogueWatch {
 public:
  // popFirst: the first connection is the POP3 login (POP before SMTP).
  // fullContent: every line of the message content is reported; otherwise
  // one line summarising it.
  DialogueWatch(bool popFirst, bool fullContent,
                std::function<void(const TraceLine&)> onLine = nullptr);

  void Resolving(const std::string& name);
  void Resolved(bool ok, const std::string& dotted);
  void Connecting(const std::string& dotted, std::uint16_t port);
  void Connected(bool ok);
  void Sent(const char* data, std::size_t length);
  void Received(const char* data, std::size_t length);
  void PeerClosed();
  // A line of the command's own ("*"), such as the TLS session's outcome.
  void Note(const std::string& text);
  void Closed();

  // What the call is doing now, for a status line ("waiting for the reply
  // to DATA"); "" between steps.
  std::string Step() const;
  bool InContent() const { return mode_ == Mode::kContent; }
  std::uint64_t contentBytes() const { return contentBytes_; }
  // Whether the client has sent something since the server last spoke.
  bool Waiting() const { return waiting_; }

  // The exchange that explains a failure: the last client line with the
  // server lines that followed it (or the connection note and the
  // greeting), passing over the QUIT a failing call sends on its way out
  // unless QUIT itself went wrong. Empty when no connection was made.
  std::vector<TraceLine> ReportedExchange() const;

 private:
  enum class Mode { kIdle, kCommands, kContent };

  void Emit(TraceLine::From from, const std::string& text);
  void ClientLine(std::string line);
  // Returns how many bytes belonged to the content (all, unless it ended).
  std::size_t ContentBytes(const char* data, std::size_t length);
  void ServerLine(std::string line);
  void FlushServer();
  void StartExchange(std::vector<TraceLine> lines, bool quit);
  bool ExchangeFailed() const;
  std::string Masked(const std::string& line);
  const char* Protocol() const { return pop_ ? "POP3" : "SMTP"; }

  bool popFirst_;
  bool fullContent_;
  std::function<void(const TraceLine&)> onLine_;

  int connections_ = 0;
  bool pop_ = false;
  std::string peer_;  // "127.0.0.1 port 25"
  Mode mode_ = Mode::kIdle;
  bool connecting_ = false;
  std::string client_;  // the client line so far
  std::string server_;  // the server line so far
  std::string verb_;    // of the last command, for Step
  bool waiting_ = false;
  bool dataSent_ = false;      // DATA went out; a 354 opens the content
  bool challenged_ = false;    // a 334 came; the next line answers it
  bool contentEnded_ = false;  // the "." line went out
  std::uint64_t contentBytes_ = 0;
  std::uint64_t contentLines_ = 0;
  std::string head_;              // the first two bytes of the content line
  std::uint64_t lineLength_ = 0;  // of the content line so far
  std::string resolving_;
  std::vector<TraceLine> last_;
  bool lastIsQuit_ = false;
  bool lastReplied_ = false;
  bool lastRefused_ = false;  // a 4xx, 5xx or -ERR reply, or the server closed
  std::vector<TraceLine> beforeQuit_;
  bool beforeQuitFailed_ = false;
};

}  // namespace tool
}  // namespace tarnlet

#endif  // TARNLET_TOOLS_DIALOGUE_WATCH_H_
