// Client TLS with OpenSSL 3. The session reads and writes only through the
// connection's wire (a BIO of our own), so it never touches the socket
// itself: a peer that has gone never raises SIGPIPE in the host, and a
// platform that watches or faults sockets sees every record. Each session
// has its own context, so the trust store is read anew (SSL_CERT_FILE and
// SSL_CERT_DIR apply to the next call); only the BIO's method is made once
// per process.
#include <arpa/inet.h>
#include <errno.h>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <sys/socket.h>

#include <climits>
#include <cstring>
#include <new>

#include "platform/posix/tls_session.h"
#include "platform/system_platform.h"

namespace tarnlet {
namespace {

// Records that carry no application data (tickets, key updates) that one
// receive or send takes before it lets the caller count a poll step.
constexpr int kRecordsPerCall = 16;

TlsSession* SessionOf(BIO* bio) { return static_cast<TlsSession*>(BIO_get_data(bio)); }

int WireWrite(BIO* bio, const char* data, int length) {
  TlsSession* session = SessionOf(bio);
  BIO_clear_retry_flags(bio);
  const IoResult sent = session->wire->Write(data, static_cast<std::size_t>(length));
  if (sent.count > 0) return static_cast<int>(sent.count);
  if (sent.count == 0 || sent.wouldBlock) {
    BIO_set_retry_write(bio);
    return -1;
  }
  session->wireError = sent.error;
  return -1;
}

int WireRead(BIO* bio, char* buffer, int capacity) {
  TlsSession* session = SessionOf(bio);
  BIO_clear_retry_flags(bio);
  const IoResult got = session->wire->Read(buffer, static_cast<std::size_t>(capacity));
  if (got.count > 0) {
    session->NoteFirstBytes(buffer, static_cast<std::size_t>(got.count));
    return static_cast<int>(got.count);
  }
  if (got.count == 0) {
    session->ended = true;
    return 0;
  }
  if (got.wouldBlock) {
    session->dry = true;
    BIO_set_retry_read(bio);
    return -1;
  }
  session->wireError = got.error;
  return -1;
}

long WireControl(BIO* bio, int command, long, void*) {
  if (command == BIO_CTRL_FLUSH) return 1;
  if (command == BIO_CTRL_EOF) return SessionOf(bio)->ended ? 1 : 0;
  return 0;
}

// One method for every session of the process; made on first use, which
// the language makes safe across threads.
BIO_METHOD* WireMethod() {
  static BIO_METHOD* const method = [] {
    BIO_METHOD* made = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "tarnlet wire");
    if (made != nullptr &&
        (BIO_meth_set_write(made, WireWrite) != 1 || BIO_meth_set_read(made, WireRead) != 1 ||
         BIO_meth_set_ctrl(made, WireControl) != 1)) {
      BIO_meth_free(made);
      made = nullptr;
    }
    return made;
  }();
  return method;
}

void Free(TlsSession* session) {
  if (session->ssl != nullptr) SSL_free(session->ssl);  // frees the BIO
  if (session->context != nullptr) SSL_CTX_free(session->context);
  delete session;
}

// The host is checked as an address when it is one, otherwise as a name
// that also goes out as SNI.
bool SetPeerName(SSL* ssl, const char* host) {
  unsigned char address[16];
  if (::inet_pton(AF_INET, host, address) == 1 || ::inet_pton(AF_INET6, host, address) == 1) {
    return X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), host) == 1;
  }
  SSL_set_hostflags(ssl, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
  return SSL_set_tlsext_host_name(ssl, host) == 1 && SSL_set1_host(ssl, host) == 1;
}

bool Prepare(TlsSession* session, const char* host) {
  session->context = SSL_CTX_new(TLS_client_method());
  if (session->context == nullptr) return false;
  SSL_CTX_set_verify(session->context, SSL_VERIFY_PEER, nullptr);
  if (SSL_CTX_set_min_proto_version(session->context, TLS1_2_VERSION) != 1) return false;
  // OpenSSL's default paths, which SSL_CERT_FILE and SSL_CERT_DIR may move.
  if (SSL_CTX_set_default_verify_paths(session->context) != 1) return false;
  BIO_METHOD* method = WireMethod();
  if (method == nullptr) return false;
  session->ssl = SSL_new(session->context);
  if (session->ssl == nullptr) return false;
  BIO* bio = BIO_new(method);
  if (bio == nullptr) return false;
  BIO_set_data(bio, session);
  BIO_set_init(bio, 1);
  SSL_set_bio(session->ssl, bio, bio);
  // SendAll offers the unsent rest again after a wait, from where it stood.
  SSL_set_mode(session->ssl, SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
  // A record without data returns to us, so a stream of them is counted.
  SSL_clear_mode(session->ssl, SSL_MODE_AUTO_RETRY);
  // Whatever has arrived is read at once: fewer reads, and a server that
  // answers in clear text is seen with its whole first line.
  SSL_set_read_ahead(session->ssl, 1);
  if (!SetPeerName(session->ssl, host)) return false;
  SSL_set_connect_state(session->ssl);
  return true;
}

// Starts one session call: what the last one noted is forgotten.
void Begin(TlsSession* session) {
  ERR_clear_error();
  session->dry = false;
  session->wireError = 0;
}

// What a failed session call was. The socket's own failure keeps its
// number and no TLS line; a refused certificate (also in a renegotiation)
// gives the verifier's reason; anything else is the session failing (71).
IoResult Failure(TlsSession* session, int sslError) {
  session->NoteFailure(sslError);
  const long verified = SSL_get_verify_result(session->ssl);
  ERR_clear_error();
  if (session->wireError != 0) return IoResult{-1, session->wireError, false};
  if (verified != X509_V_OK) {
    return IoResult{-1, static_cast<int>(verified), false, TlsFault::kCertificate};
  }
  if (session->ended || sslError == SSL_ERROR_ZERO_RETURN) {
    return IoResult{-1, ECONNRESET, false};
  }
  return IoResult{-1, EPROTO, false, TlsFault::kHandshake};
}

bool Waiting(int sslError) {
  return sslError == SSL_ERROR_WANT_READ || sslError == SSL_ERROR_WANT_WRITE;
}

}  // namespace

TlsHandle SystemPlatform::StartTls(SocketHandle, TlsWire& wire, const char* host, int* error) {
  ERR_clear_error();
  TlsSession* session = new (std::nothrow) TlsSession;
  if (session == nullptr) {
    *error = ENOMEM;
    return nullptr;
  }
  session->wire = &wire;
  if (!Prepare(session, host)) {
    *error = static_cast<int>(ERR_GET_REASON(ERR_get_error()));
    if (*error == 0) *error = EPROTO;
    ERR_clear_error();
    Free(session);
    return nullptr;
  }
  return session;
}

TlsStep SystemPlatform::ContinueTls(TlsHandle tls) {
  TlsSession* session = static_cast<TlsSession*>(tls);
  Begin(session);
  const int done = SSL_do_handshake(session->ssl);
  if (done == 1) return {TlsProgress::kDone, false, 0};
  const int sslError = SSL_get_error(session->ssl, done);
  if (Waiting(sslError)) return {TlsProgress::kWouldBlock, false, 0};
  const IoResult failed = Failure(session, sslError);
  // A socket that failed or ended under the handshake is still the
  // handshake failing, with the socket's number.
  return {TlsProgress::kFailed, failed.tls == TlsFault::kCertificate, failed.error};
}

IoResult SystemPlatform::TlsSend(TlsHandle tls, const char* data, std::size_t length) {
  TlsSession* session = static_cast<TlsSession*>(tls);
  if (length > static_cast<std::size_t>(INT_MAX)) length = INT_MAX;
  for (int records = 0; records < kRecordsPerCall; ++records) {
    Begin(session);
    const int sent = SSL_write(session->ssl, data, static_cast<int>(length));
    if (sent > 0) return IoResult{sent, 0, false};
    const int sslError = SSL_get_error(session->ssl, sent);
    if (!Waiting(sslError)) return Failure(session, sslError);
    // Only a record without data taken on the way goes on at once.
    if (session->dry || sslError == SSL_ERROR_WANT_WRITE) break;
  }
  return IoResult{-1, 0, true};
}

// Every application record that has arrived, as recv returns every byte
// that has arrived; records without data are taken on the way. A failure
// behind data is met by the next call.
IoResult SystemPlatform::TlsReceive(TlsHandle tls, char* buffer, std::size_t capacity) {
  TlsSession* session = static_cast<TlsSession*>(tls);
  if (!session->pending.wouldBlock) return session->pending;
  std::size_t got = 0;
  int records = 0;
  while (got < capacity) {
    Begin(session);
    const std::size_t room = capacity - got;
    const int n =
        SSL_read(session->ssl, buffer + got,
                 room > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(room));
    if (n > 0) {
      got += static_cast<std::size_t>(n);
      continue;
    }
    const int sslError = SSL_get_error(session->ssl, n);
    if (Waiting(sslError)) {
      if (session->dry || sslError == SSL_ERROR_WANT_WRITE || ++records == kRecordsPerCall) break;
      continue;
    }
    // close_notify, or the connection ended without it: the peer has gone.
    if (sslError == SSL_ERROR_ZERO_RETURN || (session->ended && session->wireError == 0)) {
      ERR_clear_error();
      session->pending = IoResult{0, 0, false};
    } else {
      session->pending = Failure(session, sslError);
    }
    if (got > 0) break;
    return session->pending;
  }
  if (got > 0) return IoResult{static_cast<long>(got), 0, false};
  return IoResult{-1, 0, true};
}

void SystemPlatform::CloseTls(TlsHandle tls) {
  if (tls == nullptr) return;
  TlsSession* session = static_cast<TlsSession*>(tls);
  // close_notify, best effort: the socket is closed right after.
  Begin(session);
  if (SSL_is_init_finished(session->ssl)) (void)SSL_shutdown(session->ssl);
  ERR_clear_error();
  Free(session);
}

}  // namespace tarnlet
