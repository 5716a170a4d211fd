// One SChannel client session: shared by the engine (tls.cc) and the
// check and description of the peer's certificate (tls_peer.cc).
#ifndef TARNLET_PLATFORM_WIN32_TLS_SESSION_H_
#define TARNLET_PLATFORM_WIN32_TLS_SESSION_H_

#include "platform/win32/windows_api.h"

#ifndef SECURITY_WIN32
#define SECURITY_WIN32
#endif
#include <wincrypt.h>

#include <schannel.h>
#include <security.h>

#include <cstddef>

#include "platform/platform.h"

namespace tarnlet {

// Our own failures, numbered as the other backend numbers them: a protocol
// failure (the server answered without TLS, or agreed a version below TLS
// 1.2) and the verifier's reasons.
constexpr int kTlsProtocolError = 71;

struct TlsSession {
  TlsWire* wire = nullptr;
  CredHandle credentials{};
  CtxtHandle context{};
  bool haveCredentials = false;
  bool haveContext = false;
  bool handshaking = true;           // the first handshake, or a renegotiation
  bool finishing = false;            // done once the last flight is out
  bool established = false;          // the first handshake went through
  bool suppliedCredentials = false;  // asked after SEC_I_INCOMPLETE_CREDENTIALS
  char host[256] = {};
  wchar_t wideHost[256] = {};  // for the name check
  SecPkgContext_StreamSizes sizes{};
  // Bytes received and not yet used by SChannel.
  char* in = nullptr;
  std::size_t inLength = 0;
  // Bytes to send, in order: handshake tokens and alerts, then at most one
  // record of the caller's, which carries recordPlain of its bytes.
  char* out = nullptr;
  std::size_t outLength = 0;
  std::size_t outSent = 0;
  std::size_t recordPlain = 0;
  // Decrypted bytes not yet handed out.
  char* plain = nullptr;
  std::size_t plainLength = 0;
  std::size_t plainTaken = 0;
  // The peer closed (close_notify or end of stream), or the session
  // failed behind data already handed out: what the next receive returns.
  bool closed = false;
  IoResult failed{0, 0, false};
  // What the peer's first bytes were, when they could not begin a record.
  bool sawBytes = false;
  bool clearText = false;
  char firstBytes[64] = {};
  // The certificate, as checked: 0 verified, -1 not checked, else the
  // verifier's reason; and what the trace shows of it.
  int verdict = -1;
  long failure = 0;  // the SChannel status a handshake failed with
  char subject[256] = "(none)";
  char issuer[256] = "(none)";
  char names[512] = "(none)";
  char dates[64] = "";
};

// The peer's certificate against the system's trusted roots and the host;
// 0 or the verifier's reason. Notes what the trace shows of it.
int VerifyPeer(TlsSession* session);
// The peer's first bytes, when they cannot begin a TLS record.
void NoteFirstBytes(TlsSession* session, const char* bytes, std::size_t count);

}  // namespace tarnlet

#endif  // TARNLET_PLATFORM_WIN32_TLS_SESSION_H_
