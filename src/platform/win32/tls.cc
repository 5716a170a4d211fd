// Client TLS is not built for Windows yet: every session fails to start,
// so a call that needs TLS stops with its TLS line and never falls back to
// plain text.
#include "platform/system_platform.h"
#include "platform/win32/windows_api.h"

namespace tarnlet {

TlsHandle SystemPlatform::StartTls(SocketHandle, const char*, int* error) {
  *error = ERROR_NOT_SUPPORTED;
  return nullptr;
}

TlsStep SystemPlatform::ContinueTls(TlsHandle) {
  return {TlsProgress::kFailed, false, ERROR_NOT_SUPPORTED};
}

IoResult SystemPlatform::TlsSend(TlsHandle, const char*, std::size_t) {
  return IoResult{-1, ERROR_NOT_SUPPORTED, false};
}

IoResult SystemPlatform::TlsReceive(TlsHandle, char*, std::size_t) {
  return IoResult{-1, ERROR_NOT_SUPPORTED, false};
}

void SystemPlatform::CloseTls(TlsHandle) {}

void SystemPlatform::DescribeTls(TlsHandle, char* out, std::size_t capacity) {
  if (capacity > 0) out[0] = '\0';
}

}  // namespace tarnlet
