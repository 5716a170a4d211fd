// The one HTTP exchange of a browser sign-in's redirect, over the system's
// loopback listener (system/*/loopback.cc).
#include <string>

#include "system/tool_support.h"

namespace tarnlet {
namespace tool {

std::string LoopbackListener::TakeRequest(unsigned seconds, const std::string& page) {
  if (port_ == 0 || !Accept(seconds)) return "";
  std::string request;
  char buffer[2048];
  while (request.find("\r\n\r\n") == std::string::npos && request.size() < 16384) {
    const long got = Receive(buffer, sizeof buffer);
    if (got <= 0) break;
    request.append(buffer, static_cast<std::size_t>(got));
  }
  Answer(
      "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\n"
      "Connection: close\r\nContent-Length: " +
      std::to_string(page.size()) + "\r\n\r\n" + page);
  // "GET /?code=... HTTP/1.1"
  const std::size_t start = request.find(' ');
  const std::size_t end = start == std::string::npos ? start : request.find(' ', start + 1);
  if (end == std::string::npos) return "";
  return request.substr(start + 1, end - start - 1);
}

}  // namespace tool
}  // namespace tarnlet
