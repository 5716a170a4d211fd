// Client TLS with SChannel through SSPI. The session reads and writes only
// through the connection's wire, never the socket itself, so a platform
// that watches or faults sockets sees every record. TLS 1.2 only: TLS 1.3
// has not run on a real Windows machine here. Failures keep SChannel's own
// status in the log line's number, so each cause stays distinct; our own
// checks use the numbers of the other backend.
#include <climits>
#include <cstring>
#include <new>

#include "platform/system_platform.h"
#include "platform/tls_text.h"
#include "platform/win32/tls_session.h"

namespace tarnlet {
namespace {

// A record with its header and trailer fits, and a handshake flight of
// several records.
constexpr std::size_t kInCapacity = 0x10000;
constexpr std::size_t kOutCapacity = 0x8000;
constexpr std::size_t kPlainCapacity = 0x4400;
// Steps of one call that bring the caller nothing (records without data,
// handshake rounds) before it lets the caller count a poll step, and
// steps of any kind.
constexpr int kIdleStepsPerCall = 16;
constexpr int kStepsPerCall = 1024;

constexpr ULONG kContextFlags = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT |
                                ISC_REQ_CONFIDENTIALITY | ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM |
                                ISC_REQ_EXTENDED_ERROR;

constexpr TlsStep kWaiting = {TlsProgress::kWouldBlock, false, 0};
constexpr IoResult kWouldBlock = {-1, 0, true};

TlsSession* Of(TlsHandle tls) { return static_cast<TlsSession*>(tls); }

void Free(TlsSession* session) {
  if (session->haveContext) ::DeleteSecurityContext(&session->context);
  if (session->haveCredentials) ::FreeCredentialsHandle(&session->credentials);
  // The buffers carried the dialogue, credentials included.
  if (session->in != nullptr) ::SecureZeroMemory(session->in, kInCapacity);
  if (session->out != nullptr) ::SecureZeroMemory(session->out, kOutCapacity);
  if (session->plain != nullptr) ::SecureZeroMemory(session->plain, kPlainCapacity);
  delete[] session->in;
  delete[] session->out;
  delete[] session->plain;
  delete session;
}

SECURITY_STATUS AcquireCredentials(TlsSession* session) {
  SCHANNEL_CRED credentials{};
  credentials.dwVersion = SCHANNEL_CRED_VERSION;
  credentials.dwFlags =
      SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS | SCH_USE_STRONG_CRYPTO;
  credentials.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
  char package[] = UNISP_NAME_A;
  TimeStamp expiry;
  return ::AcquireCredentialsHandleA(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr, &credentials,
                                     nullptr, nullptr, &session->credentials, &expiry);
}

// Queues a token SChannel made for the peer and frees SChannel's copy.
bool QueueToken(TlsSession* session, SecBuffer& token) {
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

// Sends what is queued: 0 all sent, 1 the wire takes nothing now, -1 a
// failure (its number in error).
int Flush(TlsSession* session, int* error) {
  while (session->outSent < session->outLength) {
    const IoResult sent = session->wire->Write(session->out + session->outSent,
                                               session->outLength - session->outSent);
    if (sent.count > 0) {
      session->outSent += static_cast<std::size_t>(sent.count);
      continue;
    }
    if (sent.count == 0 || sent.wouldBlock) return 1;
    *error = sent.error;
    return -1;
  }
  session->outLength = session->outSent = 0;
  return 0;
}

// Reads what the wire holds: 1 some bytes came, 0 none yet, -1 the end of
// the connection (count 0 in *failure) or a failure.
int Fill(TlsSession* session, IoResult* failure) {
  if (session->inLength == kInCapacity) {
    *failure = {-1, kTlsProtocolError, false, TlsFault::kHandshake};
    return -1;
  }
  char* at = session->in + session->inLength;
  const IoResult got = session->wire->Read(at, kInCapacity - session->inLength);
  if (got.count > 0) {
    NoteFirstBytes(session, at, static_cast<std::size_t>(got.count));
    session->inLength += static_cast<std::size_t>(got.count);
    return 1;
  }
  if (got.count < 0 && got.wouldBlock) return 0;
  *failure = got;
  return -1;
}

// Keeps the bytes SChannel left over (the start of the next record).
void KeepExtra(TlsSession* session, const SecBuffer& extra) {
  if (extra.BufferType == SECBUFFER_EXTRA && extra.cbBuffer > 0 &&
      extra.cbBuffer <= session->inLength) {
    std::memmove(session->in, session->in + session->inLength - extra.cbBuffer, extra.cbBuffer);
    session->inLength = extra.cbBuffer;
  } else {
    session->inLength = 0;
  }
}

// One call of InitializeSecurityContext with what has been received.
SECURITY_STATUS Initialize(TlsSession* session, bool first) {
  SecBuffer input[2] = {
      {static_cast<unsigned long>(session->inLength), SECBUFFER_TOKEN, session->in},
      {0, SECBUFFER_EMPTY, nullptr}};
  SecBufferDesc inputs = {SECBUFFER_VERSION, 2, input};
  SecBuffer output[2] = {{0, SECBUFFER_TOKEN, nullptr}, {0, SECBUFFER_ALERT, nullptr}};
  SecBufferDesc outputs = {SECBUFFER_VERSION, 2, output};
  // Without a certificate of our own, a server's optional request for one
  // is answered with none.
  const ULONG flags =
      kContextFlags | (session->suppliedCredentials ? ISC_REQ_USE_SUPPLIED_CREDS : 0);
  ULONG attributes = 0;
  TimeStamp expiry;
  char* target = session->host[0] != '\0' ? session->host : nullptr;
  const SECURITY_STATUS status = ::InitializeSecurityContextA(
      &session->credentials, first ? nullptr : &session->context, target, flags, 0, 0,
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
  // Incomplete input, or input to be offered again with other flags, stays.
  if (!first && status != SEC_E_INCOMPLETE_MESSAGE && status != SEC_I_INCOMPLETE_CREDENTIALS) {
    KeepExtra(session, input[1]);
  }
  return status;
}

TlsStep Failed(int error, bool certificate = false) {
  return {TlsProgress::kFailed, certificate, error};
}

TlsStep Finish(TlsSession* session) {
  session->finishing = false;
  // Some SChannels (Wine's) ignore the versions asked for: the one agreed
  // is checked here.
  SecPkgContext_ConnectionInfo info{};
  if (::QueryContextAttributesA(&session->context, SECPKG_ATTR_CONNECTION_INFO, &info) !=
          SEC_E_OK ||
      (info.dwProtocol & SP_PROT_TLS1_2_CLIENT) == 0) {
    return Failed(kTlsProtocolError);
  }
  if (::QueryContextAttributesA(&session->context, SECPKG_ATTR_STREAM_SIZES, &session->sizes) !=
          SEC_E_OK ||
      session->sizes.cbHeader + session->sizes.cbTrailer + 1 > kOutCapacity) {
    return Failed(kTlsProtocolError);
  }
  // Checked after a renegotiation too: the server may present another.
  session->verdict = VerifyPeer(session);
  if (session->verdict != 0) return Failed(session->verdict, true);
  session->handshaking = false;
  session->established = true;
  return {TlsProgress::kDone, false, 0};
}

// Drives the handshake (the first, or a renegotiation) as far as what has
// arrived allows, in a bounded number of steps.
TlsStep Handshake(TlsSession* session) {
  int error = 0;
  for (int step = 0; step < kIdleStepsPerCall; ++step) {
    const int flushed = Flush(session, &error);
    if (flushed < 0) return Failed(error);
    if (flushed > 0) return kWaiting;
    if (session->finishing) return Finish(session);
    SECURITY_STATUS status = SEC_E_INCOMPLETE_MESSAGE;
    if (!session->haveContext) {
      status = Initialize(session, true);
    } else if (session->inLength > 0) {
      // A server answering in clear text fails at once, as with the other
      // backend.
      if (!session->established && !BeginsLikeTls(session->in, session->inLength)) {
        return Failed(kTlsProtocolError);
      }
      status = Initialize(session, false);
    }
    switch (status) {
      case SEC_E_OK:
        // The last flight (if any) goes out before the session is used.
        session->finishing = true;
        break;
      case SEC_I_CONTINUE_NEEDED:
        break;
      case SEC_E_INCOMPLETE_MESSAGE: {
        IoResult failure{0, 0, false};
        const int filled = Fill(session, &failure);
        if (filled == 0) return kWaiting;
        if (filled < 0) return Failed(failure.count == 0 ? WSAECONNRESET : failure.error);
        break;
      }
      case SEC_I_INCOMPLETE_CREDENTIALS:
        // The server asks for a client certificate: go on once without one.
        if (!session->suppliedCredentials) {
          session->suppliedCredentials = true;
          break;
        }
        session->failure = status;
        return Failed(static_cast<int>(status));
      default:
        session->failure = status;
        (void)Flush(session, &error);
        return Failed(static_cast<int>(status));
    }
  }
  return kWaiting;
}

IoResult FromStep(const TlsStep& step) {
  return {-1, step.error, false, step.certificate ? TlsFault::kCertificate : TlsFault::kHandshake};
}

// Hands out decrypted bytes kept from before.
std::size_t TakePlain(TlsSession* session, char* buffer, std::size_t capacity) {
  std::size_t n = session->plainLength - session->plainTaken;
  if (n > capacity) n = capacity;
  std::memcpy(buffer, session->plain + session->plainTaken, n);
  session->plainTaken += n;
  return n;
}

// Decrypts the record at the start of what has arrived; its data is kept
// for TakePlain.
SECURITY_STATUS DecryptRecord(TlsSession* session) {
  SecBuffer parts[4] = {
      {static_cast<unsigned long>(session->inLength), SECBUFFER_DATA, session->in},
      {0, SECBUFFER_EMPTY, nullptr},
      {0, SECBUFFER_EMPTY, nullptr},
      {0, SECBUFFER_EMPTY, nullptr}};
  SecBufferDesc message = {SECBUFFER_VERSION, 4, parts};
  const SECURITY_STATUS status = ::DecryptMessage(&session->context, &message, 0, nullptr);
  if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE && status != SEC_I_CONTEXT_EXPIRED) {
    return status;
  }
  const SecBuffer* data = nullptr;
  const SecBuffer* extra = nullptr;
  for (const SecBuffer& part : parts) {
    if (part.BufferType == SECBUFFER_DATA) data = &part;
    if (part.BufferType == SECBUFFER_EXTRA) extra = &part;
  }
  session->plainLength = session->plainTaken = 0;
  if (data != nullptr && data->cbBuffer > 0) {
    if (data->cbBuffer > kPlainCapacity) return SEC_E_INTERNAL_ERROR;
    std::memcpy(session->plain, data->pvBuffer, data->cbBuffer);
    session->plainLength = data->cbBuffer;
  }
  static const SecBuffer kNone = {0, SECBUFFER_EMPTY, nullptr};
  KeepExtra(session, extra != nullptr ? *extra : kNone);
  return status;
}

void FailLater(TlsSession* session, const IoResult& failure) {
  if (session->failed.count == 0) session->failed = failure;
}

}  // namespace

TlsHandle SystemPlatform::StartTls(SocketHandle, TlsWire& wire, const char* host, int* error) {
  TlsSession* session = new (std::nothrow) TlsSession;
  if (session == nullptr) {
    *error = ERROR_NOT_ENOUGH_MEMORY;
    return nullptr;
  }
  session->wire = &wire;
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
  // The certificate is checked against this form of the name: a name that
  // does not convert is refused, never checked as an empty one.
  if (::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, host, -1, session->wideHost,
                            static_cast<int>(sizeof session->wideHost / sizeof(wchar_t))) == 0) {
    *error = static_cast<int>(::GetLastError());
    Free(session);
    return nullptr;
  }
  const SECURITY_STATUS status = AcquireCredentials(session);
  if (status != SEC_E_OK) {
    Free(session);
    *error = static_cast<int>(status);
    return nullptr;
  }
  session->haveCredentials = true;
  return session;
}

TlsStep SystemPlatform::ContinueTls(TlsHandle tls) { return Handshake(Of(tls)); }

// A record once made goes out whole: the caller offers the same bytes
// again after a wait and is told then how many it carried. Tokens queued
// before it go out on their own and are never counted as the caller's.
IoResult SystemPlatform::TlsSend(TlsHandle tls, const char* data, std::size_t length) {
  TlsSession* session = Of(tls);
  int error = 0;
  if (session->recordPlain == 0) {
    if (session->handshaking) {
      const TlsStep step = Handshake(session);
      if (step.progress == TlsProgress::kWouldBlock) return kWouldBlock;
      if (step.progress == TlsProgress::kFailed) return FromStep(step);
    }
    const int flushed = Flush(session, &error);
    if (flushed < 0) return IoResult{-1, error, false};
    if (flushed > 0) return kWouldBlock;
    std::size_t chunk =
        length < session->sizes.cbMaximumMessage ? length : session->sizes.cbMaximumMessage;
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
    if (status != SEC_E_OK)
      return IoResult{-1, static_cast<int>(status), false, TlsFault::kHandshake};
    session->outLength = parts[0].cbBuffer + parts[1].cbBuffer + parts[2].cbBuffer;
    session->outSent = 0;
    session->recordPlain = chunk;
  }
  const int flushed = Flush(session, &error);
  if (flushed < 0) return IoResult{-1, error, false};
  if (flushed > 0) return kWouldBlock;
  const std::size_t carried = session->recordPlain;
  session->recordPlain = 0;
  return IoResult{static_cast<long>(carried), 0, false};
}

// Every application record that has arrived, as recv returns every byte
// that has arrived. A failure or the end behind data is met by the next
// call.
IoResult SystemPlatform::TlsReceive(TlsHandle tls, char* buffer, std::size_t capacity) {
  TlsSession* session = Of(tls);
  std::size_t got = TakePlain(session, buffer, capacity);
  int idle = 0;
  for (int step = 0; got < capacity && idle < kIdleStepsPerCall && step < kStepsPerCall; ++step) {
    if (session->closed || session->failed.count != 0) break;
    if (session->handshaking) {
      ++idle;
      const TlsStep done = Handshake(session);
      if (done.progress == TlsProgress::kWouldBlock) break;
      if (done.progress == TlsProgress::kFailed) FailLater(session, FromStep(done));
      continue;
    }
    if (session->inLength > 0) {
      const SECURITY_STATUS status = DecryptRecord(session);
      if (status == SEC_E_OK || status == SEC_I_RENEGOTIATE || status == SEC_I_CONTEXT_EXPIRED) {
        const std::size_t taken = TakePlain(session, buffer + got, capacity - got);
        if (taken == 0) ++idle;
        got += taken;
        if (status == SEC_I_CONTEXT_EXPIRED) session->closed = true;  // close_notify
        // The server starts a new handshake: SChannel takes its messages
        // through the handshake call, with what follows them.
        if (status == SEC_I_RENEGOTIATE) session->handshaking = true;
        continue;
      }
      if (status != SEC_E_INCOMPLETE_MESSAGE) {
        FailLater(session, {-1, static_cast<int>(status), false, TlsFault::kHandshake});
        continue;
      }
    }
    IoResult failure{0, 0, false};
    const int filled = Fill(session, &failure);
    if (filled > 0) continue;
    if (filled == 0) break;
    // The connection ended between records: the peer has gone.
    const bool ended = failure.count == 0 || failure.error == WSAECONNRESET;
    if (ended && session->inLength == 0) {
      session->closed = true;
    } else {
      FailLater(session, IoResult{-1, ended ? WSAECONNRESET : failure.error, false, failure.tls});
    }
  }
  if (got > 0) return IoResult{static_cast<long>(got), 0, false};
  if (session->closed) return IoResult{0, 0, false};
  if (session->failed.count != 0) return session->failed;
  return kWouldBlock;
}

void SystemPlatform::CloseTls(TlsHandle tls) {
  if (tls == nullptr) return;
  TlsSession* session = Of(tls);
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
