// Token requests through WinHTTP, a system DLL: the system's certificate
// store checks the endpoint as SChannel checks the SMTP server, the
// automatic proxy settings apply, no redirect is followed.
#include "platform/win32/windows_api.h"

#include <winhttp.h>

#include <cstring>

#include "platform/system_platform.h"

namespace tarnlet {
namespace {

class Handle {
 public:
  explicit Handle(HINTERNET handle = nullptr) : handle_(handle) {}
  ~Handle() {
    if (handle_ != nullptr) ::WinHttpCloseHandle(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HINTERNET get() const { return handle_; }

 private:
  HINTERNET handle_;
};

HttpsOutcome OutcomeOf(DWORD error) {
  switch (error) {
    case ERROR_WINHTTP_TIMEOUT:
      return HttpsOutcome::kTimedOut;
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
    case ERROR_WINHTTP_CANNOT_CONNECT:
    case ERROR_WINHTTP_CONNECTION_ERROR:
    case ERROR_WINHTTP_AUTO_PROXY_SERVICE_ERROR:
      return HttpsOutcome::kUnreachable;
    // Wine reports a refused certificate as a failed secure channel.
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
    case ERROR_WINHTTP_SECURE_FAILURE:
    case ERROR_WINHTTP_SECURE_INVALID_CA:
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_REVOKED:
    case ERROR_WINHTTP_SECURE_INVALID_CERT:
      return HttpsOutcome::kCertificate;
    case ERROR_WINHTTP_UNRECOGNIZED_SCHEME:
    case ERROR_WINHTTP_INVALID_URL:
      return HttpsOutcome::kRefusedUrl;
    default:
      return HttpsOutcome::kFailed;
  }
}

HttpsAnswer Failed(HttpsAnswer answer) {
  const DWORD error = ::GetLastError();
  answer.outcome = OutcomeOf(error);
  answer.error = static_cast<int>(error);
  return answer;
}

// The automatic proxy where the system has it (Windows 8.1 on), else the
// configured one.
HINTERNET OpenSession() {
  HINTERNET session = ::WinHttpOpen(L"Tarnlet", WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY,
                                    WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
  if (session != nullptr) return session;
  return ::WinHttpOpen(L"Tarnlet", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                       WINHTTP_NO_PROXY_BYPASS, 0);
}

// WinHTTP's time-outs bound each step; the deadline bounds the whole
// request, so an endpoint that answers a few bytes at a time cannot hold
// the call (and the token cache's lock) past it.
bool PastDeadline(ULONGLONG deadline) {
  if (::GetTickCount64() < deadline) return false;
  ::SetLastError(ERROR_WINHTTP_TIMEOUT);
  return true;
}

// Reads straight into body; what does not fit is read into a scratch and
// dropped, marking the body too long.
bool ReadBody(HINTERNET request, char* body, std::size_t capacity, ULONGLONG deadline,
              HttpsAnswer* answer) {
  for (;;) {
    if (PastDeadline(deadline)) return false;
    DWORD available = 0;
    if (!::WinHttpQueryDataAvailable(request, &available)) return false;
    if (available == 0) return true;
    char scratch[512];
    const std::size_t room = capacity - answer->bodyLength;
    char* into = room > 0 ? body + answer->bodyLength : scratch;
    const std::size_t limit = room > 0 ? room : sizeof scratch;
    const DWORD want = available < limit ? available : static_cast<DWORD>(limit);
    DWORD got = 0;
    if (!::WinHttpReadData(request, into, want, &got)) return false;
    if (got == 0) return true;
    if (room > 0) {
      answer->bodyLength += got;
    } else {
      answer->bodyTooLong = true;
      ::SecureZeroMemory(scratch, sizeof scratch);
    }
  }
}

}  // namespace

HttpsAnswer SystemPlatform::PostForm(const char* url, const char* form, std::size_t formLength,
                                     unsigned timeoutSeconds, char* body, std::size_t capacity) {
  HttpsAnswer answer{HttpsOutcome::kFailed, 0, 0, 0, false};
  if (std::strncmp(url, "https://", 8) != 0 || formLength > MAXDWORD) {
    answer.outcome = HttpsOutcome::kRefusedUrl;
    return answer;
  }
  wchar_t wide[2048];
  if (::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, url, -1, wide, 2048) == 0) {
    answer.outcome = HttpsOutcome::kRefusedUrl;
    return answer;
  }
  URL_COMPONENTS parts;
  std::memset(&parts, 0, sizeof parts);
  parts.dwStructSize = sizeof parts;
  wchar_t host[256];
  wchar_t path[2048];
  parts.lpszHostName = host;
  parts.dwHostNameLength = 256;
  parts.lpszUrlPath = path;
  parts.dwUrlPathLength = 2048;
  if (!::WinHttpCrackUrl(wide, 0, 0, &parts) || parts.nScheme != INTERNET_SCHEME_HTTPS) {
    answer.outcome = HttpsOutcome::kRefusedUrl;
    return answer;
  }
  const ULONGLONG deadline = ::GetTickCount64() + timeoutSeconds * 1000ULL;
  Handle session(OpenSession());
  if (session.get() == nullptr) return Failed(answer);
  const int ms = static_cast<int>(timeoutSeconds * 1000);
  DWORD protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;
  if (!::WinHttpSetTimeouts(session.get(), ms, ms, ms, ms) ||
      !::WinHttpSetOption(session.get(), WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols,
                          sizeof protocols)) {
    return Failed(answer);
  }
  Handle connection(::WinHttpConnect(session.get(), host, parts.nPort, 0));
  if (connection.get() == nullptr) return Failed(answer);
  Handle request(::WinHttpOpenRequest(connection.get(), L"POST", path, nullptr, WINHTTP_NO_REFERER,
                                      WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_SECURE));
  if (request.get() == nullptr) return Failed(answer);
  DWORD never = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
  if (!::WinHttpSetOption(request.get(), WINHTTP_OPTION_REDIRECT_POLICY, &never, sizeof never)) {
    return Failed(answer);
  }
  const wchar_t headers[] =
      L"Content-Type: application/x-www-form-urlencoded\r\nAccept: application/json\r\n";
  if (!::WinHttpSendRequest(request.get(), headers, static_cast<DWORD>(-1L),
                            const_cast<char*>(form), static_cast<DWORD>(formLength),
                            static_cast<DWORD>(formLength), 0) ||
      !::WinHttpReceiveResponse(request.get(), nullptr)) {
    return Failed(answer);
  }
  DWORD status = 0;
  DWORD size = sizeof status;
  if (!::WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &size,
                             WINHTTP_NO_HEADER_INDEX)) {
    return Failed(answer);
  }
  if (!ReadBody(request.get(), body, capacity, deadline, &answer)) return Failed(answer);
  answer.outcome = HttpsOutcome::kAnswered;
  answer.status = static_cast<int>(status);
  return answer;
}

}  // namespace tarnlet
