// One OpenSSL client session and what it noted for the trace: shared by
// the engine (tls.cc) and its description (tls_peer.cc).
#ifndef TARNLET_PLATFORM_POSIX_TLS_SESSION_H_
#define TARNLET_PLATFORM_POSIX_TLS_SESSION_H_

#include <openssl/ssl.h>

#include <cstddef>

#include "platform/platform.h"

namespace tarnlet {

struct TlsSession {
  SSL_CTX* context = nullptr;
  SSL* ssl = nullptr;
  TlsWire* wire = nullptr;
  // What the wire said during the current session call.
  int wireError = 0;   // a failed send or receive: its number
  bool dry = false;    // a receive found nothing yet
  bool ended = false;  // the peer closed the connection
  // The peer's first bytes, when they could not begin a TLS record: the
  // server answered in clear text.
  bool clearText = false;
  bool sawBytes = false;
  char firstBytes[64] = {};
  // The reason of the first failure, for people.
  char failure[128] = {};
  // The end or failure a receive met behind data it returned: what the
  // next receive returns (count -1 unset).
  IoResult pending{-1, 0, true};

  void NoteFirstBytes(const char* bytes, std::size_t count);
  void NoteFailure(int sslError);
};

}  // namespace tarnlet

#endif  // TARNLET_PLATFORM_POSIX_TLS_SESSION_H_
