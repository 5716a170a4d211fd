#include "support/peer_socket.h"

#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tarnlet {
namespace testpeer {
namespace {

int Fd(PeerSocket socket) { return static_cast<int>(socket); }

// A socket and the address 127.0.0.1:port for it; the socket is -1 when
// none could be made.
int LoopbackSocket(std::uint16_t port, sockaddr_in* address) {
  *address = sockaddr_in{};
  address->sin_family = AF_INET;
  address->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address->sin_port = htons(port);
  return ::socket(AF_INET, SOCK_STREAM, 0);
}

}  // namespace

PeerSocket ListenLoopback(std::uint16_t* port) {
  sockaddr_in address;
  const int fd = LoopbackSocket(0, &address);
  if (fd < 0) return kNoPeerSocket;
  socklen_t size = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd, 4) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    ::close(fd);
    return kNoPeerSocket;
  }
  *port = ntohs(address.sin_port);
  return fd;
}

PeerSocket ConnectLoopback(std::uint16_t port) {
  sockaddr_in address;
  const int fd = LoopbackSocket(port, &address);
  if (fd < 0) return kNoPeerSocket;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return kNoPeerSocket;
  }
  return fd;
}

bool ReadableWithin(PeerSocket socket, unsigned timeoutMs) {
  pollfd entry{Fd(socket), POLLIN, 0};
  int ready;
  do {
    ready = ::poll(&entry, 1, static_cast<int>(timeoutMs));
  } while (ready < 0 && errno == EINTR);
  return ready > 0;
}

PeerSocket AcceptOne(PeerSocket listener) {
  const int fd = ::accept(Fd(listener), nullptr, nullptr);
  return fd < 0 ? kNoPeerSocket : fd;
}

long SendSome(PeerSocket socket, const char* data, std::size_t length) {
  ssize_t sent;
  do {
    sent = ::send(Fd(socket), data, length, MSG_NOSIGNAL);
  } while (sent < 0 && errno == EINTR);
  return sent < 0 ? kReceiveFailed : static_cast<long>(sent);
}

long ReceiveSome(PeerSocket socket, char* buffer, std::size_t capacity) {
  ssize_t got;
  do {
    got = ::recv(Fd(socket), buffer, capacity, 0);
  } while (got < 0 && errno == EINTR);
  return got < 0 ? kReceiveFailed : static_cast<long>(got);
}

void ShutdownSending(PeerSocket socket) { ::shutdown(Fd(socket), SHUT_WR); }

void CloseGracefully(PeerSocket socket) { ::close(Fd(socket)); }

void CloseWithReset(PeerSocket socket) {
  linger option{1, 0};
  ::setsockopt(Fd(socket), SOL_SOCKET, SO_LINGER, &option, sizeof option);
  ::close(Fd(socket));
}

}  // namespace testpeer
}  // namespace tarnlet
