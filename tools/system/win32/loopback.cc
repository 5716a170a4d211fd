// Randomness and SHA-256 through CNG (bcrypt), and the loopback listener
// of a browser sign-in through Windows Sockets.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>

#include <bcrypt.h>

#include <string>

#include "system/tool_support.h"

namespace tarnlet {
namespace tool {

bool RandomBytes(unsigned char* out, std::size_t count) {
  return BCRYPT_SUCCESS(
      ::BCryptGenRandom(nullptr, out, static_cast<ULONG>(count), BCRYPT_USE_SYSTEM_PREFERRED_RNG));
}

std::string Sha256(const std::string& data) {
  unsigned char digest[32] = {};
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  if (BCRYPT_SUCCESS(
          ::BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
    ::BCryptHash(algorithm, nullptr, 0,
                 reinterpret_cast<unsigned char*>(const_cast<char*>(data.data())),
                 static_cast<ULONG>(data.size()), digest, sizeof digest);
    ::BCryptCloseAlgorithmProvider(algorithm, 0);
  }
  return std::string(reinterpret_cast<char*>(digest), sizeof digest);
}

LoopbackListener::LoopbackListener()
    : socket_(static_cast<std::intptr_t>(INVALID_SOCKET)),
      client_(static_cast<std::intptr_t>(INVALID_SOCKET)) {
  WSADATA data;
  if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) return;
  SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  socket_ = static_cast<std::intptr_t>(s);
  if (s == INVALID_SOCKET) return;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(s, 4) != 0 ||
      ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    return;
  }
  port_ = ntohs(address.sin_port);
}

LoopbackListener::~LoopbackListener() {
  if (static_cast<SOCKET>(client_) != INVALID_SOCKET) ::closesocket(static_cast<SOCKET>(client_));
  if (static_cast<SOCKET>(socket_) != INVALID_SOCKET) ::closesocket(static_cast<SOCKET>(socket_));
  ::WSACleanup();
}

bool LoopbackListener::Accept(unsigned seconds) {
  const SOCKET listener = static_cast<SOCKET>(socket_);
  fd_set ready;
  FD_ZERO(&ready);
  FD_SET(listener, &ready);
  timeval wait{static_cast<long>(seconds), 0};
  if (::select(0, &ready, nullptr, nullptr, &wait) != 1) return false;
  const SOCKET client = ::accept(listener, nullptr, nullptr);
  if (client == INVALID_SOCKET) return false;
  client_ = static_cast<std::intptr_t>(client);
  DWORD timeout = 10000;
  ::setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout),
               sizeof timeout);
  return true;
}

long LoopbackListener::Receive(char* buffer, std::size_t capacity) {
  const int got = ::recv(static_cast<SOCKET>(client_), buffer, static_cast<int>(capacity), 0);
  return got < 0 ? 0 : static_cast<long>(got);
}

void LoopbackListener::Answer(const std::string& data) {
  ::send(static_cast<SOCKET>(client_), data.data(), static_cast<int>(data.size()), 0);
  ::closesocket(static_cast<SOCKET>(client_));
  client_ = static_cast<std::intptr_t>(INVALID_SOCKET);
}

}  // namespace tool
}  // namespace tarnlet
