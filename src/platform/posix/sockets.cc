// IPv4 TCP sockets. Errors are errno values; a peer that has gone away must
// never raise SIGPIPE in the host, and signals must not fail a call.
#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <climits>
#include <cstring>

#include "platform/system_platform.h"

namespace tarnlet {
namespace {

int Fd(SocketHandle socket) { return static_cast<int>(socket); }

bool WouldBlock(int error) { return error == EAGAIN || error == EWOULDBLOCK; }

// A connect interrupted by a signal goes on in the background; wait for it
// to finish and fetch its outcome instead of starting it again.
int FinishInterruptedConnect(int fd) {
  pollfd entry{};
  entry.fd = fd;
  entry.events = POLLOUT;
  int ready;
  do {
    ready = ::poll(&entry, 1, -1);
  } while (ready < 0 && errno == EINTR);
  if (ready < 0) return errno;
  int outcome = 0;
  socklen_t size = sizeof outcome;
  if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &outcome, &size) != 0) return errno;
  return outcome;
}

}  // namespace

// Nothing to start: the POSIX socket interface needs no start-up.
int SystemPlatform::StartupSockets() { return 0; }

void SystemPlatform::CleanupSockets() {}

SocketHandle SystemPlatform::CreateTcpSocket(int* error) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    *error = errno;
    return kInvalidSocket;
  }
  return fd;
}

bool SystemPlatform::ConnectIpv4(SocketHandle socket, const char* dotted, std::uint16_t port,
                                 int* error) {
  // inet_addr's INADDR_NONE is both garbage and the broadcast address, and
  // INADDR_ANY would reach this machine here but fails on Windows: neither
  // is a server, so no connect is attempted.
  in_addr_t address = ::inet_addr(dotted);
  if (address == INADDR_NONE || address == htonl(INADDR_ANY)) {
    *error = EADDRNOTAVAIL;
    return false;
  }
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(port);
  peer.sin_addr.s_addr = address;
  int fd = Fd(socket);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0) return true;
  int failure = errno == EINTR ? FinishInterruptedConnect(fd) : errno;
  if (failure == 0) return true;
  *error = failure;
  return false;
}

bool SystemPlatform::SetNonBlocking(SocketHandle socket, int* error) {
  int flags = ::fcntl(Fd(socket), F_GETFL);
  if (flags < 0 || ::fcntl(Fd(socket), F_SETFL, flags | O_NONBLOCK) < 0) {
    *error = errno;
    return false;
  }
  // Commands and header lines are small writes answered by the peer: without
  // this each would wait for the peer's delayed ACK. Best effort.
  int on = 1;
  (void)::setsockopt(Fd(socket), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  return true;
}

IoResult SystemPlatform::Send(SocketHandle socket, const char* data, std::size_t length) {
  // The count must fit a long, which is 32 bits on some targets.
  if (length > static_cast<std::size_t>(LONG_MAX)) length = LONG_MAX;
  ssize_t sent;
  do {
    sent = ::send(Fd(socket), data, length, MSG_NOSIGNAL);
  } while (sent < 0 && errno == EINTR);
  if (sent < 0) return IoResult{-1, errno, WouldBlock(errno)};
  return IoResult{static_cast<long>(sent), 0, false};
}

IoResult SystemPlatform::Receive(SocketHandle socket, char* buffer, std::size_t capacity) {
  if (capacity > static_cast<std::size_t>(LONG_MAX)) capacity = LONG_MAX;
  ssize_t got;
  do {
    got = ::recv(Fd(socket), buffer, capacity, 0);
  } while (got < 0 && errno == EINTR);
  if (got < 0) return IoResult{-1, errno, WouldBlock(errno)};
  return IoResult{static_cast<long>(got), 0, false};
}

void SystemPlatform::CloseSocket(SocketHandle socket) {
  // Retrying close after EINTR could close a descriptor reused by another
  // thread; Linux has released it in any case.
  ::close(Fd(socket));
}

int SystemPlatform::ConnectionResetError() { return ECONNRESET; }

}  // namespace tarnlet
