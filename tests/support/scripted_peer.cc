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

PeerStep Send(std::string bytes) { return {PeerStep::Action::kSend, std::move(bytes), 0}; }
PeerStep ExpectLine() { return {PeerStep::Action::kExpectLine, "", 0}; }
PeerStep ReceiveData() { return {PeerStep::Action::kReceiveData, "", 0}; }
PeerStep Pause(unsigned milliseconds) { return {PeerStep::Action::kPause, "", milliseconds}; }
PeerStep Close() { return {PeerStep::Action::kClose, "", 0}; }
PeerStep Reset() { return {PeerStep::Action::kReset, "", 0}; }
PeerStep Stall() { return {PeerStep::Action::kStall, "", 0}; }

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

  void Run();
  bool Accept();
  bool RunScript();
  void DrainUntilClientCloses();
  // Reads one more piece from the client into pending and the transcript;
  // false when the client closed, the connection failed or stop was asked.
  bool ReceiveMore();
  // Consumes pending up to and including the end of the first match of
  // marker; when startMarker is non-empty, pending that starts with it also
  // matches (a data block whose first line is the end marker).
  bool ConsumeThrough(const std::string& marker, const std::string& startMarker);
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

bool ScriptedPeer::State::ConsumeThrough(const std::string& marker,
                                         const std::string& startMarker) {
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

// Returns false when the script closed the connection itself.
bool ScriptedPeer::State::RunScript() {
  for (const PeerStep& step : script) {
    switch (step.action) {
      case PeerStep::Action::kSend:
        if (!testpeer::SendAllBytes(connection, step.bytes.data(), step.bytes.size())) {
          return true;
        }
        break;
      case PeerStep::Action::kExpectLine:
        if (!ConsumeThrough("\n", "")) return true;
        break;
      case PeerStep::Action::kReceiveData:
        if (!ConsumeThrough("\r\n.\r\n", ".\r\n")) return true;
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
        return false;
      case PeerStep::Action::kReset:
        testpeer::CloseWithReset(connection);
        connection = kNoPeerSocket;
        return false;
      case PeerStep::Action::kStall:
        return true;
    }
    Touch();
  }
  return true;
}

void ScriptedPeer::State::Run() {
  if (Accept() && RunScript()) {
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
