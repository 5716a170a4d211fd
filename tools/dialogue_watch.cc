#include "dialogue_watch.h"

#include <cctype>
#include <cstring>
#include <optional>
#include <utility>

#include "mail/oauth_access_token.h"

namespace tarnlet {
namespace tool {
namespace {

// A server's text reaches the terminal only as printable ASCII, so no
// reply can move the cursor or retitle the window.
std::string Printable(const std::string& bytes) {
  static const char kHex[] = "0123456789abcdef";
  std::string text;
  for (char c : bytes) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u < 0x7f) {
      text += c;
    } else {
      text += "\\x";
      text += kHex[u >> 4];
      text += kHex[u & 0xf];
    }
  }
  return text;
}

std::string WithoutLineEnd(std::string line) {
  if (!line.empty() && line.back() == '\n') line.pop_back();
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

std::string Upper(std::string word) {
  for (char& c : word) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return word;
}

std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  std::size_t at = 0;
  while (at < line.size()) {
    std::size_t start = line.find_first_not_of(' ', at);
    if (start == std::string::npos) break;
    std::size_t end = line.find(' ', start);
    if (end == std::string::npos) end = line.size();
    words.push_back(line.substr(start, end - start));
    at = end;
  }
  return words;
}

// "MAIL FROM" and "RCPT TO" by their two words, other commands by one.
std::string VerbOf(const std::vector<std::string>& words) {
  if (words.empty()) return "";
  std::string verb = Upper(words[0]);
  if ((verb == "MAIL" || verb == "RCPT") && words.size() > 1) {
    std::string next = Upper(words[1]);
    std::size_t colon = next.find(':');
    verb += " " + next.substr(0, colon);
  }
  return verb;
}

bool StartsWith(const std::string& text, const char* prefix) {
  return text.compare(0, std::strlen(prefix), prefix) == 0;
}

// Moves the bytes from *at up to and including the next LF onto *pending;
// a line that is whole comes back without its line end.
std::optional<std::string> NextLine(const char* data, std::size_t length, std::size_t* at,
                                    std::string* pending) {
  const void* lf = std::memchr(data + *at, '\n', length - *at);
  std::size_t end =
      lf != nullptr ? static_cast<std::size_t>(static_cast<const char*>(lf) - data) + 1 : length;
  pending->append(data + *at, end - *at);
  *at = end;
  if (lf == nullptr) return std::nullopt;
  std::string line = WithoutLineEnd(*pending);
  pending->clear();
  return line;
}

}  // namespace

std::string Shown(const TraceLine& line) {
  switch (line.from) {
    case TraceLine::From::kClient:
      return "C: " + line.text;
    case TraceLine::From::kServer:
      return "S: " + line.text;
    case TraceLine::From::kNote:
      break;
  }
  return "* " + line.text;
}

DialogueWatch::DialogueWatch(bool popFirst, bool fullContent,
                             std::function<void(const TraceLine&)> onLine)
    : popFirst_(popFirst), fullContent_(fullContent), onLine_(std::move(onLine)) {}

void DialogueWatch::Emit(TraceLine::From from, const std::string& text) {
  TraceLine line{from, text};
  if (from == TraceLine::From::kServer) {
    last_.push_back(line);
    lastReplied_ = true;
    lastRefused_ = lastRefused_ || text.compare(0, 1, "4") == 0 || text.compare(0, 1, "5") == 0 ||
                   text.compare(0, 4, "-ERR") == 0;
  }
  if (onLine_) onLine_(line);
}

void DialogueWatch::StartExchange(std::vector<TraceLine> lines, bool quit) {
  if (quit) {
    beforeQuit_ = last_;
    beforeQuitFailed_ = ExchangeFailed();
  }
  last_ = std::move(lines);
  lastIsQuit_ = quit;
  lastReplied_ = lastRefused_ = false;
}

bool DialogueWatch::ExchangeFailed() const { return !lastReplied_ || lastRefused_; }

std::vector<TraceLine> DialogueWatch::ReportedExchange() const {
  if (!lastIsQuit_ || beforeQuit_.empty()) return last_;
  if (beforeQuitFailed_ || !ExchangeFailed()) return beforeQuit_;
  std::vector<TraceLine> both = beforeQuit_;
  both.insert(both.end(), last_.begin(), last_.end());
  return both;
}

void DialogueWatch::Connecting(const std::string& dotted, std::uint16_t port) {
  ++connections_;
  pop_ = popFirst_ && connections_ == 1;
  peer_ = Printable(dotted) + " port " + std::to_string(port);
  connecting_ = true;
}

void DialogueWatch::Resolving(const std::string& name) {
  resolving_ = Printable(name);
  Emit(TraceLine::From::kNote, "looking up " + resolving_);
}

void DialogueWatch::Resolved(bool ok, const std::string& dotted) {
  Emit(TraceLine::From::kNote,
       resolving_ + (ok ? " is " + Printable(dotted) : std::string(": no address found")));
  resolving_.clear();
}

void DialogueWatch::Note(const std::string& text) {
  FlushServer();
  Emit(TraceLine::From::kNote, text);
}

void DialogueWatch::Connected(bool ok) {
  connecting_ = false;
  std::string note =
      (ok ? "connected to " : "could not connect to ") + peer_ + " (" + Protocol() + ")";
  Emit(TraceLine::From::kNote, note);
  beforeQuit_.clear();
  StartExchange(ok ? std::vector<TraceLine>{TraceLine{TraceLine::From::kNote, note}}
                   : std::vector<TraceLine>(),
                false);
  if (!ok) return;
  mode_ = Mode::kCommands;
  client_.clear();
  server_.clear();
  verb_.clear();
  waiting_ = true;
  dataSent_ = challenged_ = contentEnded_ = false;
}

void DialogueWatch::Sent(const char* data, std::size_t length) {
  std::size_t at = 0;
  while (at < length) {
    if (mode_ == Mode::kContent) {
      // What follows the end of the content in the same piece is commands.
      at += ContentBytes(data + at, length - at);
      continue;
    }
    if (std::optional<std::string> line = NextLine(data, length, &at, &client_)) ClientLine(*line);
  }
}

void DialogueWatch::ClientLine(std::string line) {
  FlushServer();
  std::vector<std::string> words = Words(line);
  verb_ = challenged_ ? std::string("the AUTH response") : VerbOf(words);
  std::string shown = Masked(line);
  StartExchange({TraceLine{TraceLine::From::kClient, shown}}, verb_ == "QUIT");
  if (onLine_) onLine_(last_.back());
  dataSent_ = !pop_ && verb_ == "DATA";
  contentEnded_ = false;
  waiting_ = true;
}

std::string DialogueWatch::Masked(const std::string& line) {
  if (challenged_) {
    challenged_ = false;
    return "(AUTH response, not shown)";
  }
  std::vector<std::string> words = Words(line);
  std::string verb = words.empty() ? "" : Upper(words[0]);
  if (verb == "PASS" && words.size() > 1) return "PASS (password not shown)";
  if (verb == "APOP" && words.size() > 2) {
    return "APOP " + Printable(words[1]) + " (digest not shown)";
  }
  const std::string mechanism = words.size() > 1 ? Upper(words[1]) : "";
  if (verb == "AUTH" && (mechanism == "XOAUTH2" || mechanism == "OAUTHBEARER")) {
    const TokenNote note = LastTokenNote();
    return "AUTH " + mechanism + " (token from profile " + Printable(note.profile) +
           ", expires in " + std::to_string(note.expiresIn) + " s)";
  }
  if (verb == "AUTH" && words.size() > 2) {
    return "AUTH " + Printable(words[1]) + " (initial response not shown)";
  }
  return Printable(line);
}

// Counts the content and finds its end: a line holding only ".". The
// scan jumps from line end to line end, so a long message costs little.
std::size_t DialogueWatch::ContentBytes(const char* data, std::size_t length) {
  std::size_t at = 0;
  while (at < length) {
    const void* lf = std::memchr(data + at, '\n', length - at);
    std::size_t end =
        lf != nullptr ? static_cast<std::size_t>(static_cast<const char*>(lf) - data) : length;
    for (std::size_t i = at; i < end && head_.size() < 2; ++i) head_ += data[i];
    lineLength_ += end - at;
    if (fullContent_) client_.append(data + at, end - at);
    contentBytes_ += end - at;
    if (lf == nullptr) return length;
    at = end + 1;
    ++contentBytes_;
    bool dotLine = head_ == ".\r" && lineLength_ == 2;
    head_.clear();
    lineLength_ = 0;
    std::string line = WithoutLineEnd(client_);
    client_.clear();
    if (dotLine) {
      contentBytes_ -= 3;
      mode_ = Mode::kCommands;
      contentEnded_ = true;
      waiting_ = true;
      verb_.clear();
      std::string summary = "(message content: " + std::to_string(contentBytes_) + " bytes in " +
                            std::to_string(contentLines_) + " lines)";
      if (!fullContent_) Emit(TraceLine::From::kClient, summary);
      StartExchange(
          {TraceLine{TraceLine::From::kClient, fullContent_ ? "(message content)" : summary},
           TraceLine{TraceLine::From::kClient, "."}},
          false);
      if (onLine_) onLine_(last_.back());
      return at;
    }
    ++contentLines_;
    if (fullContent_) Emit(TraceLine::From::kClient, Printable(line));
  }
  return length;
}

void DialogueWatch::Received(const char* data, std::size_t length) {
  std::size_t at = 0;
  while (at < length) {
    if (std::optional<std::string> line = NextLine(data, length, &at, &server_)) ServerLine(*line);
  }
}

void DialogueWatch::ServerLine(std::string line) {
  waiting_ = false;
  if (!pop_ && dataSent_ && StartsWith(line, "354")) {
    mode_ = Mode::kContent;
    contentBytes_ = contentLines_ = lineLength_ = 0;
    head_.clear();
    client_.clear();
  }
  dataSent_ = false;
  if (!pop_ && StartsWith(line, "334")) challenged_ = true;
  Emit(TraceLine::From::kServer, Printable(line));
}

// A reply that ends without a line end is shown when the dialogue moves on.
void DialogueWatch::FlushServer() {
  if (server_.empty()) return;
  std::string line = WithoutLineEnd(server_);
  server_.clear();
  ServerLine(line);
}

void DialogueWatch::PeerClosed() {
  FlushServer();
  waiting_ = false;
  TraceLine note{TraceLine::From::kNote, "the server closed the connection"};
  last_.push_back(note);
  lastRefused_ = true;
  if (onLine_) onLine_(note);
}

void DialogueWatch::Closed() {
  if (mode_ == Mode::kIdle) return;
  FlushServer();
  mode_ = Mode::kIdle;
  waiting_ = false;
  Emit(TraceLine::From::kNote, std::string("closed the ") + Protocol() + " connection");
}

std::string DialogueWatch::Step() const {
  std::string prefix = pop_ ? "POP3: " : "";
  if (!resolving_.empty()) return "looking up " + resolving_;
  if (connecting_) return "connecting to " + peer_;
  if (mode_ == Mode::kContent) return "sending the message";
  if (mode_ == Mode::kIdle || !waiting_) return "";
  if (contentEnded_) return "waiting for the reply to the end of the message";
  if (verb_.empty()) return prefix + "waiting for the greeting of " + peer_;
  return prefix + "waiting for the reply to " + verb_;
}

}  // namespace tool
}  // namespace tarnlet
