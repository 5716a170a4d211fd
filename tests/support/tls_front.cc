#include "support/tls_front.h"

#include <cstdlib>
#include <fstream>

#include "support/peer_socket.h"

namespace tarnlet {
namespace testing {

std::uint16_t TlsFront(std::uint16_t peerPort, const std::string& options) {
  const char* folder = std::getenv("TARNLET_TLS_FRONT");
  if (folder == nullptr) return 0;
  unsigned control = 0;
  std::ifstream portFile(std::string(folder) + "/port");
  if (!(portFile >> control)) return 0;
  using namespace testpeer;
  const PeerSocket socket = ConnectLoopback(static_cast<std::uint16_t>(control));
  if (socket == kNoPeerSocket) return 0;
  const std::string request = "FRONT " + std::to_string(peerPort) + " " + options + "\n";
  std::string answer;
  char buffer[16];
  long n = 0;
  if (SendAllBytes(socket, request.data(), request.size())) {
    while ((n = ReceiveWithin(socket, buffer, sizeof buffer, 5000)) > 0) answer.append(buffer, n);
  }
  CloseGracefully(socket);
  return static_cast<std::uint16_t>(std::atoi(answer.c_str()));
}

}  // namespace testing
}  // namespace tarnlet
