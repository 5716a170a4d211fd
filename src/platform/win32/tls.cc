// Client TLS with SChannel through SSPI over the non-blocking socket. The
// certificate is checked here, not by SChannel: some SChannels accept an
// unknown CA or a partial chain, so the chain's own status is refused too.
// Failures are numbered as the other backend numbers them (71 a protocol
// failure; the verifier's reasons 20, 62, 10, 18...), so hosts read the
// same log lines on every system.
#include "platform/win32/windows_api.h"

#ifndef SECURITY_WIN32
#define SECURITY_WIN32
#endif
// SCH_CREDENTIALS, which needs UNICODE_STRING from subauth.h.
#define SCHANNEL_USE_BLACKLISTS
#include <subauth.h>
#include <wincrypt.h>

#include <schannel.h>
#include <security.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <new>

#include "platform/system_platform.h"

namespace tarnlet {
namespace {

// A protocol failure and the verifier's reasons, as the other backend
// reports them.
constexpr int kProtocolError = 71;
constexpr int kSignatureBad = 7;
constexpr int kNotYetValid = 9;
constexpr int kExpired = 10;
constexpr int kSelfSignedLeaf = 18;
constexpr int kSelfSignedInChain = 19;
constexpr int kUnknownIssuer = 20;
constexpr int kRevoked = 23;
constexpr int kWrongPurpose = 26;
constexpr int kNameMismatch = 62;

// One record with its header and trailer fits, and a handshake flight of
// several records.
constexpr std::size_t kInCapacity = 0x10000;
constexpr std::size_t kOutCapacity = 0x4400 + 0x200;
constexpr std::size_t kPlainCapacity = 0x4400;

constexpr ULONG kContextFlags = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT |
                                ISC_REQ_CONFIDENTIALITY | ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM |
                                ISC_REQ_EXTENDED_ERROR;

struct Session {
  SOCKET socket = INVALID_SOCKET;
  CredHandle credentials{};
  CtxtHandle context{};
  bool haveCredentials = false;
  bool haveContext = false;
  bool finishing = false;  // the handshake is done once the last flight is out
  bool established = false;
  char host[256] = {};
  SecPkgContext_StreamSizes sizes{};
  // Bytes received and not yet used by SChannel.
  char* in = nullptr;
  std::size_t inLength = 0;
  // Bytes to send before anything else: a handshake token or one record.
  char* out = nullptr;
  std::size_t outLength = 0;
  std::size_t outSent = 0;
  std::size_t outPlain = 0;  // the caller's bytes the pending record carries
  // Decrypted bytes not yet handed out.
  char* plain = nullptr;
  std::size_t plainLength = 0;
  std::size_t plainTaken = 0;
  int verdict = -1;  // 0 verified, else the reason the certificate was refused
  char subject[256] = "(none)";
  char issuer[256] = "(none)";
};

Session* Of(TlsHandle tls) { return static_cast<Session*>(tls); }

void Free(Session* session) {
  if (session->haveContext) ::DeleteSecurityContext(&session->context);
  if (session->haveCredentials) ::FreeCredentialsHandle(&session->credentials);
  // The buffers carried the dialogue, credentials included.
  if (session->out != nullptr) ::SecureZeroMemory(session->out, kOutCapacity);
  if (session->plain != nullptr) ::SecureZeroMemory(session->plain, kPlainCapacity);
  delete[] session->in;
  delete[] session->out;
  delete[] session->plain;
  delete session;
}

// TLS 1.2 at least. The newer credential form first (the one that offers
// TLS 1.3), the older where the system does not know it.
SECURITY_STATUS AcquireCredentials(Session* session) {
  TimeStamp expiry;
  const DWORD flags =
      SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS | SCH_USE_STRONG_CRYPTO;
  TLS_PARAMETERS parameters{};
  parameters.grbitDisabledProtocols =
      static_cast<DWORD>(~(SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT));
  SCH_CREDENTIALS modern{};
  modern.dwVersion = SCH_CREDENTIALS_VERSION;
  modern.dwFlags = flags;
  modern.cTlsParameters = 1;
  modern.pTlsParameters = &parameters;
  char package[] = UNISP_NAME_A;
  SECURITY_STATUS status =
      ::AcquireCredentialsHandleA(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr, &modern, nullptr,
                                  nullptr, &session->credentials, &expiry);
  if (status == SEC_E_OK) return status;
  SCHANNEL_CRED older{};
  older.dwVersion = SCHANNEL_CRED_VERSION;
  older.dwFlags = flags;
  older.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
  return ::AcquireCredentialsHandleA(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr, &older,
                                     nullptr, nullptr, &session->credentials, &expiry);
}

// Queues a token SChannel made for the peer and frees SChannel's copy.
bool QueueToken(Session* session, SecBuffer& token) {
  bool fits = true;
  if (token.pvBuffer != nullptr && token.cbBuffer > 0) {
    fits = session->outLength + token.cbBuffer <= kOutCapacity;
    if (fits) {
      std::memcpy(session->out + session->outLength, token.pvBuffer, token.cbBuffer);
      session->outLength += token.cbBuffer;
    }
  }
  if (token.pvBuffer != nullptr) ::FreeContextBuffer(token.pvBuffer);
  token.pvBuffer = nullptr;
  return fits;
}

// Sends what is queued: 0 all sent, 1 the socket is full, -1 a failure
// (its number in error).
int Flush(Session* session, int* error) {
  while (session->outSent < session->outLength) {
    const int left = static_cast<int>(session->outLength - session->outSent);
    const int sent = ::send(session->socket, session->out + session->outSent, left, 0);
    if (sent == SOCKET_ERROR) {
      const int code = ::WSAGetLastError();
      if (code == WSAEWOULDBLOCK) return 1;
      *error = code;
      return -1;
    }
    session->outSent += static_cast<std::size_t>(sent);
  }
  session->outLength = session->outSent = 0;
  return 0;
}

// Reads what the socket holds: 1 some bytes came, 0 none yet, -1 a failure
// or the end of the connection (error set).
int Fill(Session* session, int* error) {
  if (session->inLength == kInCapacity) {
    *error = kProtocolError;
    return -1;
  }
  const int room = static_cast<int>(kInCapacity - session->inLength);
  const int got = ::recv(session->socket, session->in + session->inLength, room, 0);
  if (got == SOCKET_ERROR) {
    const int code = ::WSAGetLastError();
    if (code == WSAEWOULDBLOCK) return 0;
    *error = code;
    return -1;
  }
  if (got == 0) {
    *error = WSAECONNRESET;
    return -1;
  }
  session->inLength += static_cast<std::size_t>(got);
  return 1;
}

// Keeps the bytes SChannel left over (the start of the next record).
void KeepExtra(Session* session, const SecBuffer& extra) {
  if (extra.BufferType == SECBUFFER_EXTRA && extra.cbBuffer > 0 &&
      extra.cbBuffer <= session->inLength) {
    std::memmove(session->in, session->in + session->inLength - extra.cbBuffer, extra.cbBuffer);
    session->inLength = extra.cbBuffer;
  } else {
    session->inLength = 0;
  }
}

// The verifier's reason for the first fault in the chain's status; the
// revocation checks that could not be made are no fault (none are asked).
int ChainFault(DWORD status, PCCERT_CHAIN_CONTEXT chain, PCCERT_CONTEXT leaf) {
  status &=
      ~static_cast<DWORD>(CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION);
  if (status == 0) return 0;
  if (status & CERT_TRUST_IS_PARTIAL_CHAIN) return kUnknownIssuer;
  if (status & CERT_TRUST_IS_UNTRUSTED_ROOT) {
    const bool alone = chain->cChain > 0 && chain->rgpChain[0]->cElement == 1;
    return alone ? kSelfSignedLeaf : kSelfSignedInChain;
  }
  if (status & CERT_TRUST_IS_NOT_SIGNATURE_VALID) return kSignatureBad;
  if (status & CERT_TRUST_IS_REVOKED) return kRevoked;
  if (status & CERT_TRUST_IS_NOT_TIME_VALID) {
    return ::CertVerifyTimeValidity(nullptr, leaf->pCertInfo) < 0 ? kNotYetValid : kExpired;
  }
  if (status & CERT_TRUST_IS_NOT_VALID_FOR_USAGE) return kWrongPurpose;
  return static_cast<int>(status);
}

int PolicyFault(LONG error) {
  switch (static_cast<HRESULT>(error)) {
    case 0:
      return 0;
    case CERT_E_CN_NO_MATCH:
      return kNameMismatch;
    case CERT_E_EXPIRED:
      return kExpired;
    case CERT_E_UNTRUSTEDROOT:
      return kSelfSignedInChain;
    case CERT_E_CHAINING:
      return kUnknownIssuer;
    case CERT_E_WRONG_USAGE:
      return kWrongPurpose;
    case CRYPT_E_REVOKED:
      return kRevoked;
    default:
      return static_cast<int>(error);
  }
}

// The peer's certificate against the system's trusted roots and the host.
int VerifyPeer(Session* session) {
  PCCERT_CONTEXT leaf = nullptr;
  if (::QueryContextAttributesA(&session->context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &leaf) !=
          SEC_E_OK ||
      leaf == nullptr) {
    return kUnknownIssuer;
  }
  ::CertNameToStrA(X509_ASN_ENCODING, &leaf->pCertInfo->Subject, CERT_X500_NAME_STR,
                   session->subject, sizeof session->subject);
  ::CertNameToStrA(X509_ASN_ENCODING, &leaf->pCertInfo->Issuer, CERT_X500_NAME_STR, session->issuer,
                   sizeof session->issuer);
  char serverAuth[] = szOID_PKIX_KP_SERVER_AUTH;
  LPSTR usages[] = {serverAuth};
  CERT_CHAIN_PARA para{};
  para.cbSize = sizeof para;
  para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
  para.RequestedUsage.Usage.cUsageIdentifier = 1;
  para.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
  PCCERT_CHAIN_CONTEXT chain = nullptr;
  int fault = kUnknownIssuer;
  if (::CertGetCertificateChain(nullptr, leaf, nullptr, leaf->hCertStore, &para, 0, nullptr,
                                &chain) &&
      chain != nullptr) {
    fault = ChainFault(chain->TrustStatus.dwErrorStatus, chain, leaf);
    if (fault == 0) {
      wchar_t name[256];
      if (::MultiByteToWideChar(CP_ACP, 0, session->host, -1, name, 256) == 0) name[0] = L'\0';
      SSL_EXTRA_CERT_CHAIN_POLICY_PARA extra{};
      extra.cbSize = sizeof extra;
      extra.dwAuthType = AUTHTYPE_SERVER;
      extra.pwszServerName = name;
      CERT_CHAIN_POLICY_PARA policy{};
      policy.cbSize = sizeof policy;
      policy.pvExtraPolicyPara = &extra;
      CERT_CHAIN_POLICY_STATUS verdict{};
      verdict.cbSize = sizeof verdict;
      fault = ::CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &verdict)
                  ? PolicyFault(verdict.dwError)
                  : kUnknownIssuer;
    }
    ::CertFreeCertificateChain(chain);
  }
  ::CertFreeCertificateContext(leaf);
  return fault;
}

// The verifier's reasons in the other backend's words.
const char* Verdict(int verdict) {
  switch (verdict) {
    case -1:
      return "not checked (the handshake failed first)";
    case 0:
      return "verified";
    case kSignatureBad:
      return "refused: certificate signature failure";
    case kNotYetValid:
      return "refused: certificate is not yet valid";
    case kExpired:
      return "refused: certificate has expired";
    case kSelfSignedLeaf:
      return "refused: self-signed certificate";
    case kSelfSignedInChain:
      return "refused: self-signed certificate in certificate chain";
    case kUnknownIssuer:
      return "refused: unable to get local issuer certificate";
    case kRevoked:
      return "refused: certificate revoked";
    case kWrongPurpose:
      return "refused: unsupported certificate purpose";
    case kNameMismatch:
      return "refused: hostname mismatch";
    default:
      return "refused";
  }
}

TlsStep Failed(int error) { return {TlsProgress::kFailed, false, error}; }

// One call of InitializeSecurityContext with what has been received.
SECURITY_STATUS Initialize(Session* session, bool first) {
  SecBuffer input[2] = {
      {static_cast<unsigned long>(session->inLength), SECBUFFER_TOKEN, session->in},
      {0, SECBUFFER_EMPTY, nullptr}};
  SecBufferDesc inputs = {SECBUFFER_VERSION, 2, input};
  SecBuffer output[2] = {{0, SECBUFFER_TOKEN, nullptr}, {0, SECBUFFER_ALERT, nullptr}};
  SecBufferDesc outputs = {SECBUFFER_VERSION, 2, output};
  ULONG attributes = 0;
  TimeStamp expiry;
  char* target = session->host[0] != '\0' ? session->host : nullptr;
  const SECURITY_STATUS status = ::InitializeSecurityContextA(
      &session->credentials, first ? nullptr : &session->context, target, kContextFlags, 0, 0,
      first ? nullptr : &inputs, 0, first ? &session->context : nullptr, &outputs, &attributes,
      &expiry);
  if (first && (status == SEC_E_OK || status == SEC_I_CONTINUE_NEEDED ||
                status == SEC_I_INCOMPLETE_CREDENTIALS)) {
    session->haveContext = true;
  }
  bool fits = true;
  // A failure's token is an alert for the peer: sent best effort.
  if (status == SEC_E_OK || status == SEC_I_CONTINUE_NEEDED || FAILED(status)) {
    fits = QueueToken(session, output[0]);
  }
  if (output[0].pvBuffer != nullptr) ::FreeContextBuffer(output[0].pvBuffer);
  if (output[1].pvBuffer != nullptr) ::FreeContextBuffer(output[1].pvBuffer);
  if (!fits) return SEC_E_INTERNAL_ERROR;
  if (!first && status != SEC_E_INCOMPLETE_MESSAGE && status != SEC_I_INCOMPLETE_CREDENTIALS) {
    KeepExtra(session, input[1]);
  }
  return status;
}

// Whether what the peer sent so far can be the start of a TLS record: a
// server answering in clear text fails at once, as with the other backend.
bool LooksLikeTls(const Session* session) {
  const unsigned char type = static_cast<unsigned char>(session->in[0]);
  return type >= 20 && type <= 23 && (session->inLength < 2 || session->in[1] == 3);
}

TlsStep Established(Session* session) {
  // Some SChannels (Wine's) ignore the versions asked for: the one agreed
  // is checked here.
  SecPkgContext_ConnectionInfo info{};
  if (::QueryContextAttributesA(&session->context, SECPKG_ATTR_CONNECTION_INFO, &info) !=
          SEC_E_OK ||
      (info.dwProtocol & (SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT)) == 0) {
    return Failed(kProtocolError);
  }
  if (::QueryContextAttributesA(&session->context, SECPKG_ATTR_STREAM_SIZES, &session->sizes) !=
          SEC_E_OK ||
      session->sizes.cbHeader + session->sizes.cbTrailer + 1 > kOutCapacity) {
    return Failed(kProtocolError);
  }
  session->verdict = VerifyPeer(session);
  if (session->verdict != 0) return {TlsProgress::kFailed, true, session->verdict};
  session->established = true;
  return {TlsProgress::kDone, false, 0};
}

}  // namespace

TlsHandle SystemPlatform::StartTls(SocketHandle socket, const char* host, int* error) {
  Session* session = new (std::nothrow) Session;
  if (session == nullptr) {
    *error = ERROR_NOT_ENOUGH_MEMORY;
    return nullptr;
  }
  session->socket = static_cast<SOCKET>(socket);
  session->in = new (std::nothrow) char[kInCapacity];
  session->out = new (std::nothrow) char[kOutCapacity];
  session->plain = new (std::nothrow) char[kPlainCapacity];
  if (session->in == nullptr || session->out == nullptr || session->plain == nullptr) {
    Free(session);
    *error = ERROR_NOT_ENOUGH_MEMORY;
    return nullptr;
  }
  const std::size_t length = std::strlen(host);
  if (length >= sizeof session->host) {
    Free(session);
    *error = ERROR_INVALID_PARAMETER;
    return nullptr;
  }
  std::memcpy(session->host, host, length + 1);
  const SECURITY_STATUS status = AcquireCredentials(session);
  if (status != SEC_E_OK) {
    Free(session);
    *error = static_cast<int>(status);
    return nullptr;
  }
  session->haveCredentials = true;
  return session;
}

TlsStep SystemPlatform::ContinueTls(TlsHandle tls) {
  Session* session = Of(tls);
  int error = 0;
  for (;;) {
    const int flushed = Flush(session, &error);
    if (flushed < 0) return Failed(error);
    if (flushed > 0) return {TlsProgress::kWouldBlock, false, 0};
    if (session->finishing) return Established(session);
    SECURITY_STATUS status;
    if (!session->haveContext) {
      status = Initialize(session, true);
    } else if (session->inLength == 0) {
      const int filled = Fill(session, &error);
      if (filled < 0) return Failed(error);
      if (filled == 0) return {TlsProgress::kWouldBlock, false, 0};
      continue;
    } else if (!LooksLikeTls(session)) {
      return Failed(kProtocolError);
    } else {
      status = Initialize(session, false);
    }
    if (status == SEC_E_OK) {
      // The last flight (if any) goes out before the session is used.
      session->finishing = true;
      continue;
    }
    if (status == SEC_E_INCOMPLETE_MESSAGE) {
      const int filled = Fill(session, &error);
      if (filled < 0) return Failed(error);
      if (filled == 0) return {TlsProgress::kWouldBlock, false, 0};
      continue;
    }
    if (status == SEC_I_CONTINUE_NEEDED || status == SEC_I_INCOMPLETE_CREDENTIALS) continue;
    (void)Flush(session, &error);
    return Failed(kProtocolError);
  }
}

IoResult SystemPlatform::TlsSend(TlsHandle tls, const char* data, std::size_t length) {
  Session* session = Of(tls);
  int error = 0;
  if (session->outLength == 0) {
    const std::size_t most = session->sizes.cbMaximumMessage;
    std::size_t chunk = length < most ? length : most;
    const std::size_t room = kOutCapacity - session->sizes.cbHeader - session->sizes.cbTrailer;
    if (chunk > room) chunk = room;
    char* body = session->out + session->sizes.cbHeader;
    std::memcpy(body, data, chunk);
    SecBuffer parts[4] = {{session->sizes.cbHeader, SECBUFFER_STREAM_HEADER, session->out},
                          {static_cast<unsigned long>(chunk), SECBUFFER_DATA, body},
                          {session->sizes.cbTrailer, SECBUFFER_STREAM_TRAILER, body + chunk},
                          {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc message = {SECBUFFER_VERSION, 4, parts};
    const SECURITY_STATUS status = ::EncryptMessage(&session->context, 0, &message, 0);
    if (status != SEC_E_OK) return IoResult{-1, kProtocolError, false};
    session->outLength = parts[0].cbBuffer + parts[1].cbBuffer + parts[2].cbBuffer;
    session->outSent = 0;
    session->outPlain = chunk;
  }
  // A record once made goes out whole; the caller offers the same bytes
  // again after a wait and is told then how many it carried.
  const int flushed = Flush(session, &error);
  if (flushed < 0) return IoResult{-1, error, false};
  if (flushed > 0) return IoResult{-1, 0, true};
  return IoResult{static_cast<long>(session->outPlain), 0, false};
}

IoResult SystemPlatform::TlsReceive(TlsHandle tls, char* buffer, std::size_t capacity) {
  Session* session = Of(tls);
  if (capacity > static_cast<std::size_t>(INT_MAX)) capacity = INT_MAX;
  for (;;) {
    if (session->plainTaken < session->plainLength) {
      std::size_t n = session->plainLength - session->plainTaken;
      if (n > capacity) n = capacity;
      std::memcpy(buffer, session->plain + session->plainTaken, n);
      session->plainTaken += n;
      return IoResult{static_cast<long>(n), 0, false};
    }
    SECURITY_STATUS status = SEC_E_INCOMPLETE_MESSAGE;
    if (session->inLength > 0) {
      SecBuffer parts[4] = {
          {static_cast<unsigned long>(session->inLength), SECBUFFER_DATA, session->in},
          {0, SECBUFFER_EMPTY, nullptr},
          {0, SECBUFFER_EMPTY, nullptr},
          {0, SECBUFFER_EMPTY, nullptr}};
      SecBufferDesc message = {SECBUFFER_VERSION, 4, parts};
      status = ::DecryptMessage(&session->context, &message, 0, nullptr);
      if (status == SEC_E_OK || status == SEC_I_RENEGOTIATE || status == SEC_I_CONTEXT_EXPIRED) {
        const SecBuffer* data = nullptr;
        const SecBuffer* extra = nullptr;
        for (const SecBuffer& part : parts) {
          if (part.BufferType == SECBUFFER_DATA) data = &part;
          if (part.BufferType == SECBUFFER_EXTRA) extra = &part;
        }
        session->plainLength = session->plainTaken = 0;
        if (data != nullptr && data->cbBuffer > 0 && data->cbBuffer <= kPlainCapacity) {
          std::memcpy(session->plain, data->pvBuffer, data->cbBuffer);
          session->plainLength = data->cbBuffer;
        }
        static const SecBuffer kNone = {0, SECBUFFER_EMPTY, nullptr};
        KeepExtra(session, extra != nullptr ? *extra : kNone);
      }
      if (status == SEC_I_CONTEXT_EXPIRED) return IoResult{0, 0, false};  // close_notify
      if (status == SEC_I_RENEGOTIATE) {
        // Post-handshake messages (TLS 1.3 tickets): SChannel takes them
        // through the handshake call, with what follows them.
        const SECURITY_STATUS again = Initialize(session, false);
        int error = 0;
        if (FAILED(again) || Flush(session, &error) < 0) {
          return IoResult{-1, error != 0 ? error : kProtocolError, false};
        }
        continue;
      }
      if (status == SEC_E_OK) continue;
      if (status != SEC_E_INCOMPLETE_MESSAGE) return IoResult{-1, kProtocolError, false};
    }
    int error = 0;
    const int filled = Fill(session, &error);
    if (filled > 0) continue;
    if (filled == 0) return IoResult{-1, 0, true};
    // The connection ended between records: the peer has gone.
    if (error == WSAECONNRESET && session->inLength == 0) return IoResult{0, 0, false};
    return IoResult{-1, error, false};
  }
}

void SystemPlatform::DescribeTls(TlsHandle tls, char* out, std::size_t capacity) {
  if (capacity == 0) return;
  Session* session = Of(tls);
  SecPkgContext_ConnectionInfo info{};
  const char* version = "TLS";
  unsigned cipher = 0;
  if (session->haveContext &&
      ::QueryContextAttributesA(&session->context, SECPKG_ATTR_CONNECTION_INFO, &info) ==
          SEC_E_OK) {
    if (info.dwProtocol & SP_PROT_TLS1_3_CLIENT) version = "TLSv1.3";
    if (info.dwProtocol & SP_PROT_TLS1_2_CLIENT) version = "TLSv1.2";
    cipher = info.aiCipher;
  }
  std::snprintf(out, capacity, "%s, cipher 0x%04x, certificate %s issued by %s: %s", version,
                cipher, session->subject, session->issuer, Verdict(session->verdict));
}

void SystemPlatform::CloseTls(TlsHandle tls) {
  if (tls == nullptr) return;
  Session* session = Of(tls);
  if (session->established) {
    // close_notify, best effort: the socket is closed right after.
    DWORD kind = SCHANNEL_SHUTDOWN;
    SecBuffer control = {sizeof kind, SECBUFFER_TOKEN, &kind};
    SecBufferDesc controls = {SECBUFFER_VERSION, 1, &control};
    if (::ApplyControlToken(&session->context, &controls) == SEC_E_OK) {
      session->outLength = session->outSent = session->inLength = 0;
      (void)Initialize(session, false);
      int error = 0;
      (void)Flush(session, &error);
    }
  }
  Free(session);
}

}  // namespace tarnlet
