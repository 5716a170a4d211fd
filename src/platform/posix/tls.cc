// Client TLS with OpenSSL 3 over the non-blocking socket. The session reads
// and writes the socket through a BIO of our own, so a peer that has gone
// away never raises SIGPIPE in the host. Every session has its own context:
// nothing of OpenSSL outlives a call.
#include <arpa/inet.h>
#include <errno.h>
#include <openssl/bio.h>
#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>
#include <sys/socket.h>

#include <climits>
#include <cstdio>
#include <new>

#include "platform/system_platform.h"

namespace tarnlet {
namespace {

struct Session {
  SSL_CTX* context = nullptr;
  BIO_METHOD* method = nullptr;
  SSL* ssl = nullptr;
};

Session* Of(TlsHandle tls) { return static_cast<Session*>(tls); }

int FdOf(BIO* bio) { return static_cast<int>(reinterpret_cast<std::intptr_t>(BIO_get_data(bio))); }

bool WouldBlock(int error) { return error == EAGAIN || error == EWOULDBLOCK; }

int SocketWrite(BIO* bio, const char* data, int length) {
  BIO_clear_retry_flags(bio);
  ssize_t sent;
  do {
    sent = ::send(FdOf(bio), data, static_cast<std::size_t>(length), MSG_NOSIGNAL);
  } while (sent < 0 && errno == EINTR);
  if (sent < 0 && WouldBlock(errno)) BIO_set_retry_write(bio);
  return static_cast<int>(sent);
}

int SocketRead(BIO* bio, char* buffer, int capacity) {
  BIO_clear_retry_flags(bio);
  ssize_t got;
  do {
    got = ::recv(FdOf(bio), buffer, static_cast<std::size_t>(capacity), 0);
  } while (got < 0 && errno == EINTR);
  if (got < 0 && WouldBlock(errno)) BIO_set_retry_read(bio);
  return static_cast<int>(got);
}

long SocketControl(BIO*, int command, long, void*) { return command == BIO_CTRL_FLUSH ? 1 : 0; }

void Free(Session* session) {
  if (session->ssl != nullptr) SSL_free(session->ssl);  // frees the BIO
  if (session->method != nullptr) BIO_meth_free(session->method);
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

bool Prepare(Session* session, int fd, const char* host) {
  session->context = SSL_CTX_new(TLS_client_method());
  if (session->context == nullptr) return false;
  SSL_CTX_set_verify(session->context, SSL_VERIFY_PEER, nullptr);
  if (SSL_CTX_set_min_proto_version(session->context, TLS1_2_VERSION) != 1) return false;
  // OpenSSL's default paths, which SSL_CERT_FILE and SSL_CERT_DIR may move.
  if (SSL_CTX_set_default_verify_paths(session->context) != 1) return false;
  session->method = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "tarnlet socket");
  if (session->method == nullptr || BIO_meth_set_write(session->method, SocketWrite) != 1 ||
      BIO_meth_set_read(session->method, SocketRead) != 1 ||
      BIO_meth_set_ctrl(session->method, SocketControl) != 1) {
    return false;
  }
  session->ssl = SSL_new(session->context);
  if (session->ssl == nullptr) return false;
  BIO* bio = BIO_new(session->method);
  if (bio == nullptr) return false;
  BIO_set_data(bio, reinterpret_cast<void*>(static_cast<std::intptr_t>(fd)));
  BIO_set_init(bio, 1);
  SSL_set_bio(session->ssl, bio, bio);
  // SendAll offers the unsent rest again after a wait, from where it stood.
  SSL_set_mode(session->ssl, SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
  if (!SetPeerName(session->ssl, host)) return false;
  SSL_set_connect_state(session->ssl);
  return true;
}

// The error number of a failed session call: the system's, or EPROTO for a
// protocol failure, ECONNRESET for a connection that ended.
int FailureNumber(int sslError) {
  if (sslError == SSL_ERROR_SYSCALL && errno != 0) return errno;
  if (sslError == SSL_ERROR_SYSCALL || sslError == SSL_ERROR_ZERO_RETURN) return ECONNRESET;
  return EPROTO;
}

}  // namespace

TlsHandle SystemPlatform::StartTls(SocketHandle socket, const char* host, int* error) {
  ERR_clear_error();
  Session* session = new (std::nothrow) Session;
  if (session == nullptr) {
    *error = ENOMEM;
    return nullptr;
  }
  if (!Prepare(session, static_cast<int>(socket), host)) {
    *error = static_cast<int>(ERR_GET_REASON(ERR_get_error()));
    if (*error == 0) *error = EPROTO;
    ERR_clear_error();
    Free(session);
    return nullptr;
  }
  return session;
}

TlsStep SystemPlatform::ContinueTls(TlsHandle tls) {
  SSL* ssl = Of(tls)->ssl;
  ERR_clear_error();
  errno = 0;
  const int done = SSL_do_handshake(ssl);
  if (done == 1) return {TlsProgress::kDone, false, 0};
  const int sslError = SSL_get_error(ssl, done);
  if (sslError == SSL_ERROR_WANT_READ || sslError == SSL_ERROR_WANT_WRITE) {
    return {TlsProgress::kWouldBlock, false, 0};
  }
  const long verified = SSL_get_verify_result(ssl);
  const int number = FailureNumber(sslError);
  ERR_clear_error();
  if (verified != X509_V_OK) return {TlsProgress::kFailed, true, static_cast<int>(verified)};
  return {TlsProgress::kFailed, false, number};
}

IoResult SystemPlatform::TlsSend(TlsHandle tls, const char* data, std::size_t length) {
  SSL* ssl = Of(tls)->ssl;
  if (length > static_cast<std::size_t>(INT_MAX)) length = INT_MAX;
  ERR_clear_error();
  errno = 0;
  const int sent = SSL_write(ssl, data, static_cast<int>(length));
  if (sent > 0) return IoResult{sent, 0, false};
  const int sslError = SSL_get_error(ssl, sent);
  if (sslError == SSL_ERROR_WANT_READ || sslError == SSL_ERROR_WANT_WRITE) {
    return IoResult{-1, 0, true};
  }
  const int number = FailureNumber(sslError);
  ERR_clear_error();
  return IoResult{-1, number, false};
}

IoResult SystemPlatform::TlsReceive(TlsHandle tls, char* buffer, std::size_t capacity) {
  SSL* ssl = Of(tls)->ssl;
  if (capacity > static_cast<std::size_t>(INT_MAX)) capacity = INT_MAX;
  ERR_clear_error();
  errno = 0;
  const int got = SSL_read(ssl, buffer, static_cast<int>(capacity));
  if (got > 0) return IoResult{got, 0, false};
  const int sslError = SSL_get_error(ssl, got);
  if (sslError == SSL_ERROR_WANT_READ || sslError == SSL_ERROR_WANT_WRITE) {
    return IoResult{-1, 0, true};
  }
  // close_notify, or the connection ended without it: the peer has gone.
  const bool ended = sslError == SSL_ERROR_ZERO_RETURN ||
                     (sslError == SSL_ERROR_SYSCALL && errno == 0) ||
                     ERR_GET_REASON(ERR_peek_error()) == SSL_R_UNEXPECTED_EOF_WHILE_READING;
  const int number = FailureNumber(sslError);
  ERR_clear_error();
  if (ended) return IoResult{0, 0, false};
  return IoResult{-1, number, false};
}

void SystemPlatform::DescribeTls(TlsHandle tls, char* out, std::size_t capacity) {
  if (capacity == 0) return;
  SSL* ssl = Of(tls)->ssl;
  char subject[256] = "(none)";
  char issuer[256] = "(none)";
  if (X509* peer = SSL_get0_peer_certificate(ssl)) {
    X509_NAME_oneline(X509_get_subject_name(peer), subject, sizeof subject);
    X509_NAME_oneline(X509_get_issuer_name(peer), issuer, sizeof issuer);
  }
  const long verified = SSL_get_verify_result(ssl);
  std::snprintf(out, capacity, "%s, %s, certificate %s issued by %s: %s%s", SSL_get_version(ssl),
                SSL_get_cipher_name(ssl), subject, issuer,
                verified == X509_V_OK ? "verified" : "refused: ",
                verified == X509_V_OK ? "" : X509_verify_cert_error_string(verified));
}

void SystemPlatform::CloseTls(TlsHandle tls) {
  if (tls == nullptr) return;
  Session* session = Of(tls);
  // close_notify, best effort: the socket is closed right after.
  if (SSL_is_init_finished(session->ssl)) (void)SSL_shutdown(session->ssl);
  ERR_clear_error();
  Free(session);
}

}  // namespace tarnlet
