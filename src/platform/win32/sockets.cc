// Windows Sockets 2: start-up, IPv4 TCP sockets and their errors.
#include "platform/win32/windows_api.h"

#include <climits>

#include "platform/system_platform.h"

namespace tarnlet {
namespace {

SOCKET Sock(SocketHandle socket) { return static_cast<SOCKET>(socket); }

// send and recv take an int count.
int Clamp(std::size_t length) {
  return length > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(length);
}

IoResult Outcome(int count) {
  if (count != SOCKET_ERROR) return IoResult{count, 0, false};
  int error = ::WSAGetLastError();
  return IoResult{-1, error, error == WSAEWOULDBLOCK};
}

}  // namespace

int SystemPlatform::StartupSockets() {
  WSADATA data;
  return ::WSAStartup(0x0002, &data);
}

void SystemPlatform::CleanupSockets() { ::WSACleanup(); }

SocketHandle SystemPlatform::CreateTcpSocket(int* error) {
  SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
  if (s == INVALID_SOCKET) {
    *error = ::WSAGetLastError();
    return kInvalidSocket;
  }
  return static_cast<SocketHandle>(s);
}

bool SystemPlatform::ConnectIpv4(SocketHandle socket, const char* dotted, std::uint16_t port,
                                 int* error) {
  // inet_addr's INADDR_NONE is both garbage and the broadcast address, and
  // INADDR_ANY is no server either: no connect is attempted for them.
  unsigned long address = ::inet_addr(dotted);
  if (address == INADDR_NONE || address == htonl(INADDR_ANY)) {
    *error = WSAEADDRNOTAVAIL;
    return false;
  }
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = ::htons(port);
  peer.sin_addr.s_addr = address;
  if (::connect(Sock(socket), reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0) {
    *error = ::WSAGetLastError();
    return false;
  }
  return true;
}

bool SystemPlatform::SetNonBlocking(SocketHandle socket, int* error) {
  u_long on = 1;
  if (::ioctlsocket(Sock(socket), FIONBIO, &on) != 0) {
    *error = ::WSAGetLastError();
    return false;
  }
  // Commands and header lines are small writes answered by the peer: without
  // this each would wait for the peer's delayed ACK. Best effort.
  BOOL noDelay = TRUE;
  (void)::setsockopt(Sock(socket), IPPROTO_TCP, TCP_NODELAY,
                     reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
  return true;
}

IoResult SystemPlatform::Send(SocketHandle socket, const char* data, std::size_t length) {
  return Outcome(::send(Sock(socket), data, Clamp(length), 0));
}

IoResult SystemPlatform::Receive(SocketHandle socket, char* buffer, std::size_t capacity) {
  return Outcome(::recv(Sock(socket), buffer, Clamp(capacity), 0));
}

void SystemPlatform::CloseSocket(SocketHandle socket) { ::closesocket(Sock(socket)); }

int SystemPlatform::ConnectionResetError() { return WSAECONNRESET; }

}  // namespace tarnlet
