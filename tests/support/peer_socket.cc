#include "support/peer_socket.h"

namespace tarnlet {
namespace testpeer {

PeerSocket AcceptWithin(PeerSocket listener, unsigned timeoutMs) {
  return ReadableWithin(listener, timeoutMs) ? AcceptOne(listener) : kNoPeerSocket;
}

bool SendAllBytes(PeerSocket socket, const char* data, std::size_t length) {
  while (length > 0) {
    const long sent = SendSome(socket, data, length);
    if (sent <= 0) return false;
    data += sent;
    length -= static_cast<std::size_t>(sent);
  }
  return true;
}

long ReceiveWithin(PeerSocket socket, char* buffer, std::size_t capacity, unsigned timeoutMs) {
  if (!ReadableWithin(socket, timeoutMs)) return kReceiveTimedOut;
  return ReceiveSome(socket, buffer, capacity);
}

}  // namespace testpeer
}  // namespace tarnlet
