#include "support/scripted_peer.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

#include "support/peer_socket.h"

namespace tarnlet {
namespace testing {

using testpeer::kNoPeerSocket;
using testpeer::PeerSocket;
using Clock = std::chrono::steady_clock;

namespace {
// How long one blocking wait of the peer thread lasts before it looks at
// the stop flag again.
constexpr unsigned kSliceMilliseconds = 20;
constexpr auto kNoClientBound = std::chrono::seconds(1);
constexpr auto kIdleBound = std::chrono::seconds(3);
}  // namespace

PeerStep Send(std::string bytes) { return {PeerStep::Action::kSend, std::move(bytes), 0, nullptr}; }
PeerStep ExpectLine() { return {PeerStep::Action::kExpectLine, "", 0, nullptr}; }
PeerStep ReceiveData() { return {PeerStep::Action::kReceiveData, "", 0, nullptr}; }
PeerStep Pause(unsigned milliseconds) {
  return {PeerStep::Action::kPause, "", milliseconds, nullptr};
}
PeerStep Close() { return {PeerStep::Action::kClose, "", 0, nullptr}; }
PeerStep Reset() { return {PeerStep::Action::kReset, "", 0, nullptr}; }
PeerStep Stall() { return {PeerStep::Action::kStall, "", 0, nullptr}; }

std::vector<PeerStep> AnswerLines(const std::vector<std::string>& replies) {
  std::vector<PeerStep> steps;
  for (const std::string& reply : replies) {
    steps.push_back(ExpectLine());
    steps.push_back(Send(reply));
  }
  return steps;
}

std::vector<PeerStep> GreetThenAnswer(const std::string& greeting,
                                      const std::vector<std::string>& replies) {
  std::vector<PeerStep> steps = AnswerLines(replies);
  steps.insert(steps.begin(), Send(greeting));
  return steps;
}

SmtpServer::SmtpServer() {
  const char* const kDefaults[][2] = {
      {"greet", "220 ready\r\n"},    {"HELO", "250 hello\r\n"},        {"EHLO", "250 hello\r\n"},
      {"MAIL", "250 sender ok\r\n"}, {"RCPT", "250 rcpt ok\r\n"},      {"DATA", "354 go ahead\r\n"},
      {"END", "250 queued\r\n"},     {"QUIT", "221 bye\r\n"},          {"RSET", "250 reset\r\n"},
      {"RESPONSE", "235 ok\r\n"},    {"STARTTLS", "220 go ahead\r\n"},
  };
  for (const auto& step : kDefaults) Reply(step[0], step[1]);
}

SmtpServer& SmtpServer::Reply(const std::string& step, const std::string& reply) {
  return At(step, {Send(reply)});
}

SmtpServer& SmtpServer::At(const std::string& step, std::vector<PeerStep> steps) {
  answers_[step] = std::move(steps);
  return *this;
}

SmtpServer::operator std::vector<PeerStep>() const {
  return {{PeerStep::Action::kAnswer, "", 0, std::make_shared<const StepAnswers>(answers_)}};
}

struct ScriptedPeer::State {
  std::vector<PeerStep> script;
  std::uint16_t port = 0;
  PeerSocket listener = kNoPeerSocket;
  PeerSocket connection = kNoPeerSocket;
  std::string pending;  // received, not yet consumed by a step (thread only)
  std::atomic<bool> stop{false};

  std::mutex mutex;
  std::condition_variable changed;
  std::string transcript;
  bool accepted = false;
  bool done = false;
  Clock::time_point lastActivity = Clock::now();
  std::thread thread;

  // How a run of steps ended: go on with the next, read on until the
  // client closes, or the script closed the connection itself.
  enum class Flow { kNext, kDrain, kClosed };

  void Run();
  bool Accept();
  Flow RunSteps(const std::vector<PeerStep>& steps);
  Flow Answer(const StepAnswers& answers);
  void DrainUntilClientCloses();
  // Reads one more piece from the client into pending and the transcript;
  // false when the client closed, the connection failed or stop was asked.
  bool ReceiveMore();
  // Consumes pending up to and including the end of the first match of
  // marker; when startMarker is non-empty, pending that starts with it also
  // matches (a data block whose first line is the end marker).
  // The consumed bytes go to consumed when it is not null.
  bool ConsumeThrough(const std::string& marker, const std::string& startMarker,
                      std::string* consumed = nullptr);
  void Touch(const std::string* bytes = nullptr);
  void Finish();
};

void ScriptedPeer::State::Touch(const std::string* bytes) {
  std::lock_guard<std::mutex> lock(mutex);
  if (bytes != nullptr) transcript += *bytes;
  lastActivity = Clock::now();
  changed.notify_all();
}

bool ScriptedPeer::State::Accept() {
  while (!stop) {
    PeerSocket client = testpeer::AcceptWithin(listener, kSliceMilliseconds);
    if (client == kNoPeerSocket) continue;
    connection = client;
    testpeer::CloseGracefully(listener);
    listener = kNoPeerSocket;
    std::lock_guard<std::mutex> lock(mutex);
    accepted = true;
    lastActivity = Clock::now();
    changed.notify_all();
    return true;
  }
  return false;
}

bool ScriptedPeer::State::ReceiveMore() {
  char buffer[4096];
  while (!stop) {
    long got = testpeer::ReceiveWithin(connection, buffer, sizeof buffer, kSliceMilliseconds);
    if (got == testpeer::kReceiveTimedOut) continue;
    if (got <= 0) return false;
    std::string piece(buffer, static_cast<std::size_t>(got));
    pending += piece;
    Touch(&piece);
    return true;
  }
  return false;
}

bool ScriptedPeer::State::ConsumeThrough(const std::string& marker, const std::string& startMarker,
                                         std::string* consumed) {
  // Only the newly received tail (and the marker's length before it) is
  // searched again, so a long DATA section costs linear time.
  std::size_t searched = 0;
  for (;;) {
    if (!startMarker.empty() && pending.compare(0, startMarker.size(), startMarker) == 0) {
      pending.erase(0, startMarker.size());
      return true;
    }
    std::size_t from = searched >= marker.size() ? searched - marker.size() + 1 : 0;
    std::size_t at = pending.find(marker, from);
    if (at != std::string::npos) {
      if (consumed != nullptr) *consumed = pending.substr(0, at + marker.size());
      pending.erase(0, at + marker.size());
      return true;
    }
    searched = pending.size();
    if (!ReceiveMore()) return false;
  }
}

void ScriptedPeer::State::DrainUntilClientCloses() {
  while (ReceiveMore()) {
  }
}

ScriptedPeer::State::Flow ScriptedPeer::State::RunSteps(const std::vector<PeerStep>& steps) {
  for (const PeerStep& step : steps) {
    switch (step.action) {
      case PeerStep::Action::kSend:
        if (!testpeer::SendAllBytes(connection, step.bytes.data(), step.bytes.size())) {
          return Flow::kDrain;
        }
        break;
      case PeerStep::Action::kExpectLine:
        if (!ConsumeThrough("\n", "")) return Flow::kDrain;
        break;
      case PeerStep::Action::kReceiveData:
        if (!ConsumeThrough("\r\n.\r\n", ".\r\n")) return Flow::kDrain;
        break;
      case PeerStep::Action::kPause: {
        {
          std::lock_guard<std::mutex> lock(mutex);
          lastActivity = Clock::now() + std::chrono::milliseconds(step.milliseconds);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(step.milliseconds));
        break;
      }
      case PeerStep::Action::kClose:
        testpeer::ShutdownSending(connection);
        DrainUntilClientCloses();
        testpeer::CloseGracefully(connection);
        connection = kNoPeerSocket;
        return Flow::kClosed;
      case PeerStep::Action::kReset:
        testpeer::CloseWithReset(connection);
        connection = kNoPeerSocket;
        return Flow::kClosed;
      case PeerStep::Action::kStall:
        return Flow::kDrain;
      case PeerStep::Action::kAnswer:
        return Answer(*step.answers);
    }
    Touch();
  }
  return Flow::kNext;
}

namespace {

// The step a client line belongs to: its command word, or "RESPONSE".
std::string StepOfLine(const std::string& line) {
  const std::string word = line.substr(0, line.find_first_of(" \r\n"));
  for (const char* command :
       {"HELO", "EHLO", "STARTTLS", "AUTH", "RSET", "MAIL", "RCPT", "DATA", "QUIT"}) {
    if (word == command) return word;
  }
  return "RESPONSE";
}

}  // namespace

ScriptedPeer::State::Flow ScriptedPeer::State::Answer(const StepAnswers& answers) {
  static const std::vector<PeerStep> kUnknown = {Send("500 unknown\r\n")};
  auto at = [&answers](const std::string& step) -> const std::vector<PeerStep>& {
    auto found = answers.find(step);
    return found != answers.end() ? found->second : kUnknown;
  };
  Flow flow = RunSteps(at("greet"));
  std::string line;
  while (flow == Flow::kNext) {
    if (!ConsumeThrough("\n", "", &line)) return Flow::kDrain;
    const std::string step = StepOfLine(line);
    flow = RunSteps(at(step));
    const std::vector<PeerStep>& reply = at(step);
    const bool goAhead = step == "DATA" && !reply.empty() && reply[0].bytes.rfind("3", 0) == 0;
    if (flow == Flow::kNext && goAhead) {
      if (!ConsumeThrough("\r\n.\r\n", ".\r\n")) return Flow::kDrain;
      flow = RunSteps(at("END"));
    }
  }
  return flow;
}

void ScriptedPeer::State::Run() {
  if (Accept() && RunSteps(script) != Flow::kClosed) {
    DrainUntilClientCloses();
  }
  Finish();
}

void ScriptedPeer::State::Finish() {
  if (connection != kNoPeerSocket) testpeer::CloseGracefully(connection);
  if (listener != kNoPeerSocket) testpeer::CloseGracefully(listener);
  connection = kNoPeerSocket;
  listener = kNoPeerSocket;
  std::lock_guard<std::mutex> lock(mutex);
  done = true;
  changed.notify_all();
}

ScriptedPeer::ScriptedPeer(std::vector<PeerStep> script) : state_(new State) {
  state_->script = std::move(script);
  state_->listener = testpeer::ListenLoopback(&state_->port);
  if (state_->listener == kNoPeerSocket) {
    state_->done = true;
    return;
  }
  State* state = state_.get();
  state_->thread = std::thread([state] { state->Run(); });
}

ScriptedPeer::~ScriptedPeer() {
  state_->stop = true;
  if (state_->thread.joinable()) state_->thread.join();
}

std::uint16_t ScriptedPeer::port() const { return state_->port; }

std::string ScriptedPeer::Transcript() {
  State& s = *state_;
  std::unique_lock<std::mutex> lock(s.mutex);
  const Clock::time_point calledAt = Clock::now();
  while (!s.done) {
    Clock::time_point now = Clock::now();
    if ((!s.accepted && now - calledAt > kNoClientBound) ||
        (s.accepted && now > s.lastActivity + kIdleBound)) {
      s.stop = true;
    }
    s.changed.wait_for(lock, std::chrono::milliseconds(kSliceMilliseconds));
  }
  return s.transcript;
}

bool ScriptedPeer::Connected() {
  State& s = *state_;
  std::unique_lock<std::mutex> lock(s.mutex);
  s.changed.wait_for(lock, kNoClientBound, [&s] { return s.accepted || s.done; });
  return s.accepted;
}

std::uint16_t ClosedPort() {
  std::uint16_t port = 0;
  PeerSocket listener = testpeer::ListenLoopback(&port);
  if (listener != kNoPeerSocket) testpeer::CloseGracefully(listener);
  return port;
}

}  // namespace testing
}  // namespace tarnlet
