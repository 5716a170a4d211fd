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

LoopbackListener::LoopbackListener() : socket_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
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
  if (socket_ >= 0) ::close(static_cast<int>(socket_));
}

std::string LoopbackListener::TakeRequest(unsigned seconds, const std::string& page) {
  if (port_ == 0) return "";
  pollfd wait{static_cast<int>(socket_), POLLIN, 0};
  if (::poll(&wait, 1, static_cast<int>(seconds * 1000)) != 1) return "";
  const int client = ::accept4(static_cast<int>(socket_), nullptr, nullptr, SOCK_CLOEXEC);
  if (client < 0) return "";
  std::string request;
  char buffer[2048];
  while (request.find("\r\n\r\n") == std::string::npos && request.size() < 16384) {
    pollfd more{client, POLLIN, 0};
    if (::poll(&more, 1, 10000) != 1) break;
    const ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
    if (got <= 0) break;
    request.append(buffer, static_cast<std::size_t>(got));
  }
  const std::string answer =
      "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\n"
      "Connection: close\r\nContent-Length: " +
      std::to_string(page.size()) + "\r\n\r\n" + page;
  (void)::send(client, answer.data(), answer.size(), MSG_NOSIGNAL);
  ::close(client);
  // "GET /?code=... HTTP/1.1"
  const std::size_t start = request.find(' ');
  const std::size_t end = start == std::string::npos ? start : request.find(' ', start + 1);
  if (end == std::string::npos) return "";
  return request.substr(start + 1, end - start - 1);
}

}  // namespace tool
}  // namespace tarnlet
