// What the trace shows of an OpenSSL session: version and cipher, the
// peer's certificate (subject, issuer, names, dates) and the verdict, or
// why there was none.
#include <openssl/err.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "platform/posix/tls_session.h"
#include "platform/system_platform.h"
#include "platform/tls_text.h"

namespace tarnlet {
namespace {

// The leaf the server sent; during a failed handshake only its chain is
// kept.
X509* PeerCertificate(SSL* ssl) {
  if (X509* peer = SSL_get0_peer_certificate(ssl)) return peer;
  STACK_OF(X509)* chain = SSL_get_peer_cert_chain(ssl);
  return chain != nullptr && sk_X509_num(chain) > 0 ? sk_X509_value(chain, 0) : nullptr;
}

std::string Name(X509_NAME* name) {
  char text[256];
  X509_NAME_oneline(name, text, sizeof text);
  return text;
}

std::string Date(const ASN1_TIME* time) {
  std::tm parts{};
  if (time == nullptr || ASN1_TIME_to_tm(time, &parts) != 1) return "?";
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M UTC", &parts);
  return text;
}

std::string AltNames(X509* certificate) {
  auto* names = static_cast<GENERAL_NAMES*>(
      X509_get_ext_d2i(certificate, NID_subject_alt_name, nullptr, nullptr));
  std::string text;
  for (int i = 0; names != nullptr && i < sk_GENERAL_NAME_num(names); ++i) {
    const GENERAL_NAME* name = sk_GENERAL_NAME_value(names, i);
    std::string one;
    if (name->type == GEN_DNS) {
      one.assign(reinterpret_cast<const char*>(ASN1_STRING_get0_data(name->d.dNSName)),
                 static_cast<std::size_t>(ASN1_STRING_length(name->d.dNSName)));
    } else if (name->type == GEN_IPADD && ASN1_STRING_length(name->d.iPAddress) == 4) {
      one = DottedIpv4(ASN1_STRING_get0_data(name->d.iPAddress));
    } else {
      continue;
    }
    text += (text.empty() ? "" : ", ") + one;
  }
  GENERAL_NAMES_free(names);
  return text.empty() ? "(none)" : text;
}

std::string Verdict(const TlsSession& session) {
  const long verified = SSL_get_verify_result(session.ssl);
  if (verified != X509_V_OK) {
    return std::string("refused: ") + X509_verify_cert_error_string(verified);
  }
  if (SSL_is_init_finished(session.ssl)) return "verified";
  return std::string("not checked: ") +
         (session.failure[0] != '\0' ? session.failure : "the handshake did not finish");
}

}  // namespace

void TlsSession::NoteFirstBytes(const char* bytes, std::size_t count) {
  if (sawBytes) return;
  sawBytes = true;
  clearText = !BeginsLikeTls(bytes, count);
  if (clearText) FirstLine(bytes, count, firstBytes, sizeof firstBytes);
}

void TlsSession::NoteFailure(int sslError) {
  if (failure[0] != '\0') return;
  const char* reason = ERR_reason_error_string(ERR_peek_error());
  if (reason == nullptr) {
    reason = ended || sslError == SSL_ERROR_ZERO_RETURN ? "the server closed the connection"
                                                        : "connection failed";
  }
  std::snprintf(failure, sizeof failure, "%s", reason);
}

void SystemPlatform::DescribeTls(TlsHandle tls, char* out, std::size_t capacity) {
  if (capacity == 0) return;
  const TlsSession& session = *static_cast<const TlsSession*>(tls);
  std::string text;
  if (session.clearText && !SSL_is_init_finished(session.ssl)) {
    text = std::string("the server answered without TLS: \"") + session.firstBytes +
           "\" (not a TLS port?)";
  } else {
    X509* peer = PeerCertificate(session.ssl);
    const SSL_CIPHER* agreed = SSL_get_current_cipher(session.ssl);
    const std::string cipher = agreed != nullptr ? SSL_CIPHER_get_name(agreed) : "no cipher agreed";
    text = std::string(SSL_get_version(session.ssl)) + ", " + cipher + ", certificate " +
           (peer != nullptr ? Name(X509_get_subject_name(peer)) : "(none)") + " issued by " +
           (peer != nullptr ? Name(X509_get_issuer_name(peer)) : "(none)") + ": " +
           Verdict(session);
    if (peer != nullptr) {
      text += "\ncertificate names " + AltNames(peer) + "; valid " +
              Date(X509_get0_notBefore(peer)) + " to " + Date(X509_get0_notAfter(peer));
    }
  }
  std::snprintf(out, capacity, "%s", text.c_str());
}

}  // namespace tarnlet
