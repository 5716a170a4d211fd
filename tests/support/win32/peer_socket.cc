#include "support/peer_socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <mutex>

namespace tarnlet {
namespace testpeer {
namespace {

SOCKET Sock(PeerSocket socket) { return static_cast<SOCKET>(socket); }

// The peer may run before (or without) the library starting Windows
// Sockets, so it holds a start-up reference of its own for the process.
// Returns a socket and the address 127.0.0.1:port for it; INVALID_SOCKET
// when none could be made.
SOCKET LoopbackSocket(std::uint16_t port, sockaddr_in* address) {
  static std::once_flag once;
  std::call_once(once, [] {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  });
  *address = sockaddr_in{};
  address->sin_family = AF_INET;
  address->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address->sin_port = htons(port);
  return ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
}

int Chunk(std::size_t length) { return length > 65536 ? 65536 : static_cast<int>(length); }

}  // namespace

PeerSocket ListenLoopback(std::uint16_t* port) {
  sockaddr_in address;
  const SOCKET s = LoopbackSocket(0, &address);
  if (s == INVALID_SOCKET) return kNoPeerSocket;
  int size = sizeof address;
  if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(s, 4) != 0 || ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    ::closesocket(s);
    return kNoPeerSocket;
  }
  *port = ntohs(address.sin_port);
  return static_cast<PeerSocket>(s);
}

PeerSocket ConnectLoopback(std::uint16_t port) {
  sockaddr_in address;
  const SOCKET s = LoopbackSocket(port, &address);
  if (s == INVALID_SOCKET) return kNoPeerSocket;
  if (::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::closesocket(s);
    return kNoPeerSocket;
  }
  return static_cast<PeerSocket>(s);
}

bool ReadableWithin(PeerSocket socket, unsigned timeoutMs) {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(Sock(socket), &readable);
  timeval limit;
  limit.tv_sec = static_cast<long>(timeoutMs / 1000);
  limit.tv_usec = static_cast<long>((timeoutMs % 1000) * 1000);
  return ::select(0, &readable, nullptr, nullptr, &limit) > 0;
}

PeerSocket AcceptOne(PeerSocket listener) {
  const SOCKET s = ::accept(Sock(listener), nullptr, nullptr);
  return s == INVALID_SOCKET ? kNoPeerSocket : static_cast<PeerSocket>(s);
}

long SendSome(PeerSocket socket, const char* data, std::size_t length) {
  const int sent = ::send(Sock(socket), data, Chunk(length), 0);
  return sent < 0 ? kReceiveFailed : static_cast<long>(sent);
}

long ReceiveSome(PeerSocket socket, char* buffer, std::size_t capacity) {
  const int got = ::recv(Sock(socket), buffer, Chunk(capacity), 0);
  return got < 0 ? kReceiveFailed : static_cast<long>(got);
}

void ShutdownSending(PeerSocket socket) { ::shutdown(Sock(socket), SD_SEND); }

void CloseGracefully(PeerSocket socket) { ::closesocket(Sock(socket)); }

void CloseWithReset(PeerSocket socket) {
  linger option;
  option.l_onoff = 1;
  option.l_linger = 0;
  ::setsockopt(Sock(socket), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&option),
               sizeof option);
  ::closesocket(Sock(socket));
}

}  // namespace testpeer
}  // namespace tarnlet
