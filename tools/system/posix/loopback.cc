// Randomness, SHA-256 (OpenSSL's libcrypto, which the library links
// already) and the loopback listener of a browser sign-in.
#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <openssl/sha.h>
#include <poll.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "system/tool_support.h"

namespace tarnlet {
namespace tool {

bool RandomBytes(unsigned char* out, std::size_t count) {
  while (count > 0) {
    const ssize_t got = ::getrandom(out, count, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    out += got;
    count -= static_cast<std::size_t>(got);
  }
  return true;
}

std::string Sha256(const std::string& data) {
  unsigned char digest[SHA256_DIGEST_LENGTH];
  ::SHA256(reinterpret_cast<const unsigned char*>(data.data()), data.size(), digest);
  return std::string(reinterpret_cast<char*>(digest), sizeof digest);
}

LoopbackListener::LoopbackListener()
    : socket_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)), client_(-1) {
  if (socket_ < 0) return;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  const int fd = static_cast<int>(socket_);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd, 4) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    return;
  }
  port_ = ntohs(address.sin_port);
}

LoopbackListener::~LoopbackListener() {
  if (client_ >= 0) ::close(static_cast<int>(client_));
  if (socket_ >= 0) ::close(static_cast<int>(socket_));
}

bool LoopbackListener::Accept(unsigned seconds) {
  pollfd wait{static_cast<int>(socket_), POLLIN, 0};
  if (::poll(&wait, 1, static_cast<int>(seconds * 1000)) != 1) return false;
  client_ = ::accept4(static_cast<int>(socket_), nullptr, nullptr, SOCK_CLOEXEC);
  return client_ >= 0;
}

long LoopbackListener::Receive(char* buffer, std::size_t capacity) {
  pollfd more{static_cast<int>(client_), POLLIN, 0};
  if (::poll(&more, 1, 10000) != 1) return 0;
  const ssize_t got = ::recv(static_cast<int>(client_), buffer, capacity, 0);
  return got < 0 ? 0 : static_cast<long>(got);
}

void LoopbackListener::Answer(const std::string& data) {
  (void)::send(static_cast<int>(client_), data.data(), data.size(), MSG_NOSIGNAL);
  ::close(static_cast<int>(client_));
  client_ = -1;
}

}  // namespace tool
}  // namespace tarnlet
