// The one HTTP exchange of a browser sign-in's redirect, over the system's
// loopback listener (system/*/loopback.cc).
#include <string>

#include "platform/platform.h"
#include "system/tool_support.h"

namespace tarnlet {
namespace tool {

// A browser may open a connection it never sends on (a preconnect): such
// a client is answered and the wait goes on for the request.
std::string LoopbackListener::TakeRequest(unsigned seconds, const std::string& page) {
  if (port_ == 0) return "";
  Platform& platform = CurrentPlatform();
  const std::uint64_t deadline = platform.MonotonicSeconds() + seconds;
  for (std::uint64_t now = platform.MonotonicSeconds(); now < deadline;
       now = platform.MonotonicSeconds()) {
    if (!Accept(static_cast<unsigned>(deadline - now))) return "";
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
    if (end != std::string::npos) return request.substr(start + 1, end - start - 1);
  }
  return "";
}

}  // namespace tool
}  // namespace tarnlet
