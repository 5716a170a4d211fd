#include "trace_platform.h"

#include "platform/tls_text.h"

namespace tarnlet {
namespace tool {
namespace {

// A call that is over this quickly shows no status line at all, and the
// line is redrawn no more often than this, so the terminal costs the send
// nothing worth measuring.
constexpr auto kFirstDraw = std::chrono::milliseconds(300);
constexpr auto kRedraw = std::chrono::milliseconds(100);

double Seconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

}  // namespace

TracePlatform::TracePlatform(const WatchOptions& options, std::ostream& err)
    : PlatformWrapper(NativePlatform()),
      options_(options),
      err_(err),
      watch_(options.popFirst, options.fullContent, [this](const TraceLine& line) { Print(line); }),
      progress_(err, options.columns) {}

TracePlatform::~TracePlatform() { progress_.Clear(); }

std::int32_t TracePlatform::Run(const std::function<std::int32_t()>& call) {
  started_ = drawn_ = stepSince_ = Clock::now();
  InstallPlatform(this);
  std::int32_t code = call();
  InstallPlatform(nullptr);
  progress_.Clear();
  return code;
}

void TracePlatform::Print(const TraceLine& line) {
  if (!options_.trace) return;
  progress_.Clear();
  err_ << Shown(line) << "\n";
  err_.flush();
}

void TracePlatform::Tick(bool beforeBlocking) {
  if (!options_.progress) return;
  Clock::time_point now = Clock::now();
  std::string step = watch_.Step();
  if (step != step_) {
    step_ = step;
    stepSince_ = now;
  }
  if (watch_.InContent() != inContent_) {
    inContent_ = watch_.InContent();
    if (inContent_) contentSince_ = now;
  }
  // A lookup or connect may block for minutes with no call to tick in
  // between, so the line shows what it waits for before it starts.
  if (!beforeBlocking && (now - started_ < kFirstDraw || now - drawn_ < kRedraw)) return;
  drawn_ = now;
  if (step.empty()) return;
  progress_.Show(StatusText(step, Seconds(now - stepSince_), watch_.contentBytes(),
                            options_.expectedContentBytes, Seconds(now - contentSince_)));
}

bool TracePlatform::ConnectIpv4(SocketHandle socket, const char* dotted, std::uint16_t port,
                                int* error) {
  socket_ = socket;
  watch_.Connecting(dotted, port);
  Tick(true);
  bool ok = target().ConnectIpv4(socket, dotted, port, error);
  watch_.Connected(ok);
  Tick();
  return ok;
}

IoResult TracePlatform::Send(SocketHandle socket, const char* data, std::size_t length) {
  IoResult result = target().Send(socket, data, length);
  if (socket == socket_ && tls_ == nullptr && result.count > 0) {
    watch_.Sent(data, static_cast<std::size_t>(result.count));
  }
  Tick();
  return result;
}

IoResult TracePlatform::Receive(SocketHandle socket, char* buffer, std::size_t capacity) {
  IoResult result = target().Receive(socket, buffer, capacity);
  if (socket == socket_ && tls_ != nullptr) {
    // Records; kept while the handshake lasts, in case they are none.
    if (handshaking_ && result.count > 0 && handshakeBytes_.size() < 1024) {
      handshakeBytes_.append(buffer, static_cast<std::size_t>(result.count));
    }
  } else if (socket == socket_) {
    if (result.count > 0) watch_.Received(buffer, static_cast<std::size_t>(result.count));
    if (result.count == 0) watch_.PeerClosed();
  }
  Tick();
  return result;
}

void TracePlatform::CloseSocket(SocketHandle socket) {
  if (socket == socket_) {
    watch_.Closed();
    socket_ = kInvalidSocket;
  }
  target().CloseSocket(socket);
}

TlsHandle TracePlatform::StartTls(SocketHandle socket, TlsWire& wire, const char* host,
                                  int* error) {
  TlsHandle tls = target().StartTls(socket, wire, host, error);
  if (socket == socket_ && tls != nullptr) {
    tls_ = tls;
    handshaking_ = true;
    handshakeBytes_.clear();
  }
  return tls;
}

// The outcome of the handshake, as notes: version, cipher, certificate.
// A server that answered in clear text is shown as it answered.
TlsStep TracePlatform::ContinueTls(TlsHandle tls) {
  TlsStep step = target().ContinueTls(tls);
  if (tls == tls_ && step.progress != TlsProgress::kWouldBlock) {
    handshaking_ = false;
    if (step.progress == TlsProgress::kFailed && !handshakeBytes_.empty() &&
        !BeginsLikeTls(handshakeBytes_.data(), handshakeBytes_.size())) {
      watch_.Received(handshakeBytes_.data(), handshakeBytes_.size());
    }
    char text[1024];
    target().DescribeTls(tls, text, sizeof text);
    std::string prefix = step.progress == TlsProgress::kDone ? "TLS: " : "TLS failed: ";
    for (std::string rest = text; !rest.empty(); prefix.clear()) {
      const std::size_t end = rest.find('\n');
      watch_.Note(prefix + rest.substr(0, end));
      rest = end == std::string::npos ? "" : rest.substr(end + 1);
    }
  }
  return step;
}

IoResult TracePlatform::TlsSend(TlsHandle tls, const char* data, std::size_t length) {
  IoResult result = target().TlsSend(tls, data, length);
  if (tls == tls_ && result.count > 0) watch_.Sent(data, static_cast<std::size_t>(result.count));
  Tick();
  return result;
}

IoResult TracePlatform::TlsReceive(TlsHandle tls, char* buffer, std::size_t capacity) {
  IoResult result = target().TlsReceive(tls, buffer, capacity);
  if (tls == tls_) {
    if (result.count > 0) watch_.Received(buffer, static_cast<std::size_t>(result.count));
    if (result.count == 0) watch_.PeerClosed();
  }
  Tick();
  return result;
}

void TracePlatform::CloseTls(TlsHandle tls) {
  if (tls == tls_) tls_ = nullptr;
  target().CloseTls(tls);
}

LookupResult TracePlatform::ResolveIpv4(const char* name, char* out, int* error) {
  watch_.Resolving(name);
  Tick(true);
  LookupResult result = target().ResolveIpv4(name, out, error);
  watch_.Resolved(result == LookupResult::kOk, result == LookupResult::kOk ? out : "");
  return result;
}

void TracePlatform::SleepMilliseconds(unsigned milliseconds) {
  Tick();
  target().SleepMilliseconds(milliseconds);
  Tick();
}

}  // namespace tool
}  // namespace tarnlet
