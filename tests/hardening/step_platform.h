// The fuzzers' answering fake server, made to fail exactly the nth call of
// one kind and to tell which step of the exchange each call belonged to.
// No network and no waiting: a run is deterministic, call for call.
#ifndef TARNLET_TESTS_HARDENING_STEP_PLATFORM_H_
#define TARNLET_TESTS_HARDENING_STEP_PLATFORM_H_

#include <string>
#include <vector>

#include "../../fuzz/fake_server_platform.h"

namespace tarnlet {
namespace hardening {

enum class Kind {
  kSocket,
  kConnect,
  kNonBlocking,
  kSend,
  kReceive,
  kOpen,
  kSeek,
  kRead,
  kAllocate,
  kCount
};

class StepPlatform : public fuzzing::FakeServerPlatform {
 public:
  // Step names: "POP" for any call of the POP3 connection; for SMTP the
  // first word of the command the call sends or answers ("greet" before
  // the first, "RESPONSE" for the CRAM-MD5 answer), "content" for message
  // text and "END" for the block with the end-of-data marker.
  struct Trace {
    Kind kind;
    std::string step;
  };

  StepPlatform(std::uint16_t popPort, bool popFirst) : popFirst_(popFirst) {
    Answer(popPort, "PDE4OTYuNjk3MTcwOTUyQHBvc3RvZmZpY2UuZXhhbXBsZT4=");
  }
  void FailNth(Kind kind, int nth) {
    failKind_ = kind;
    failAt_ = nth;
  }
  const std::vector<Trace>& trace() const { return trace_; }
  int Count(Kind kind) const {
    int n = 0;
    for (const Trace& t : trace_) n += t.kind == kind ? 1 : 0;
    return n;
  }

  SocketHandle CreateTcpSocket(int* error) override {
    ++connections_;
    step_ = popFirst_ && connections_ == 1 ? "POP" : "greet";
    if (Fails(Kind::kSocket)) {
      *error = 10055;
      return kInvalidSocket;
    }
    return FakeServerPlatform::CreateTcpSocket(error);
  }
  bool ConnectIpv4(SocketHandle socket, const char* dotted, std::uint16_t port,
                   int* error) override {
    if (Fails(Kind::kConnect)) {
      *error = 10061;
      return false;
    }
    return FakeServerPlatform::ConnectIpv4(socket, dotted, port, error);
  }
  bool SetNonBlocking(SocketHandle socket, int* error) override {
    if (Fails(Kind::kNonBlocking)) {
      *error = 10038;
      return false;
    }
    return FakeServerPlatform::SetNonBlocking(socket, error);
  }
  IoResult Send(SocketHandle socket, const char* data, std::size_t length) override {
    const std::string bytes(data, length);
    if (step_ != "POP") {
      if (step_ == "DATA" && bytes.rfind("DATA", 0) != 0) step_ = "content";
      if (step_ == "content") {
        if (bytes.size() >= 5 && bytes.compare(bytes.size() - 5, 5, "\r\n.\r\n") == 0)
          step_ = "END";
      } else {
        step_ = bytes.substr(0, bytes.find_first_of(" \r"));
        if (step_ != "HELO" && step_ != "EHLO" && step_ != "AUTH" && step_ != "MAIL" &&
            step_ != "RCPT" && step_ != "DATA" && step_ != "RSET" && step_ != "QUIT") {
          step_ = "RESPONSE";
        }
      }
    }
    if (Fails(Kind::kSend)) return IoResult{-1, 10054, false};
    return FakeServerPlatform::Send(socket, data, length);
  }
  IoResult Receive(SocketHandle socket, char* buffer, std::size_t capacity) override {
    if (Fails(Kind::kReceive)) return IoResult{-1, 10054, false};
    return FakeServerPlatform::Receive(socket, buffer, capacity);
  }
  FileHandle OpenForReading(const char* path, int* error) override {
    if (Fails(Kind::kOpen)) {
      *error = 32;
      return kInvalidFile;
    }
    return FakeServerPlatform::OpenForReading(path, error);
  }
  bool SeekToStart(FileHandle file) override {
    return !Fails(Kind::kSeek) && FakeServerPlatform::SeekToStart(file);
  }
  bool ReadChunk(FileHandle file, void* buffer, std::size_t capacity, std::size_t* got) override {
    return !Fails(Kind::kRead) && FakeServerPlatform::ReadChunk(file, buffer, capacity, got);
  }
  void* Allocate(std::size_t size) override {
    return Fails(Kind::kAllocate) ? nullptr : FakeServerPlatform::Allocate(size);
  }

 private:
  // Records the call; true when it is the one planned to fail.
  bool Fails(Kind kind) {
    trace_.push_back(Trace{kind, step_});
    return kind == failKind_ && Count(kind) == failAt_;
  }

  bool popFirst_;
  int connections_ = 0;
  std::string step_ = "none";
  Kind failKind_ = Kind::kCount;
  int failAt_ = 0;
  std::vector<Trace> trace_;
};

}  // namespace hardening
}  // namespace tarnlet

#endif  // TARNLET_TESTS_HARDENING_STEP_PLATFORM_H_
