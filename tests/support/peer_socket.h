// Loopback sockets for the scripted test peer. Only the test-support
// library links these; the peer needs its own blocking sockets that do not
// go through the Platform seam under test.
#ifndef TARNLET_TESTS_SUPPORT_PEER_SOCKET_H_
#define TARNLET_TESTS_SUPPORT_PEER_SOCKET_H_

#include <cstddef>
#include <cstdint>

namespace tarnlet {
namespace testpeer {

using PeerSocket = std::intptr_t;
constexpr PeerSocket kNoPeerSocket = -1;

// A listening socket on 127.0.0.1 at an ephemeral port (stored in *port);
// kNoPeerSocket on failure.
PeerSocket ListenLoopback(std::uint16_t* port);

// A blocking connection to 127.0.0.1 at port; kNoPeerSocket on failure.
PeerSocket ConnectLoopback(std::uint16_t port);

// Waits up to timeoutMs for a connection; kNoPeerSocket when none came.
PeerSocket AcceptWithin(PeerSocket listener, unsigned timeoutMs);

// Blocking send of all bytes; false when the connection failed.
bool SendAllBytes(PeerSocket socket, const char* data, std::size_t length);

enum : long { kReceiveTimedOut = -2, kReceiveFailed = -1 };
// Waits up to timeoutMs for bytes: > 0 bytes received, 0 the client closed,
// kReceiveFailed (reset or other error), kReceiveTimedOut.
long ReceiveWithin(PeerSocket socket, char* buffer, std::size_t capacity, unsigned timeoutMs);

// Stops sending (the client reads end of stream); receiving goes on.
void ShutdownSending(PeerSocket socket);
// Orderly close.
void CloseGracefully(PeerSocket socket);
// Abortive close: linger 0, so the client sees a connection reset.
void CloseWithReset(PeerSocket socket);

// The system's own calls under the ones above, one file per system
// (support/{posix,win32}/peer_socket.cc); the loops around them are
// written once (support/peer_socket.cc).
bool ReadableWithin(PeerSocket socket, unsigned timeoutMs);
PeerSocket AcceptOne(PeerSocket listener);
// One send or receive: the count, 0 (received) at the client's close, or
// kReceiveFailed.
long SendSome(PeerSocket socket, const char* data, std::size_t length);
long ReceiveSome(PeerSocket socket, char* buffer, std::size_t capacity);

}  // namespace testpeer
}  // namespace tarnlet

#endif  // TARNLET_TESTS_SUPPORT_PEER_SOCKET_H_
