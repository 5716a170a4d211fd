// Host names to dotted IPv4 text through gethostbyname; its four lookup
// errors are the rows of the lookup table.
#include "platform/win32/windows_api.h"

#include <cstdio>

#include "platform/system_platform.h"

namespace tarnlet {
namespace {

LookupResult FailureRow(int error) {
  switch (error) {
    case WSAHOST_NOT_FOUND:
      return LookupResult::kHostNotFound;
    case WSATRY_AGAIN:
      return LookupResult::kTryAgain;
    case WSANO_RECOVERY:
      return LookupResult::kNoRecovery;
    case WSANO_DATA:
      return LookupResult::kNoData;
    default:
      return LookupResult::kOther;
  }
}

}  // namespace

LookupResult SystemPlatform::ResolveIpv4(const char* name, char* out, int* error) {
  const hostent* host = ::gethostbyname(name);
  if (host == nullptr) {
    *error = ::WSAGetLastError();
    return FailureRow(*error);
  }
  if (host->h_addrtype != AF_INET || host->h_length != 4 || host->h_addr_list == nullptr ||
      host->h_addr_list[0] == nullptr) {
    *error = -1;  // an answer without an address
    return LookupResult::kOther;
  }
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(host->h_addr_list[0]);
  std::snprintf(out, 16, "%d.%d.%d.%d", bytes[0], bytes[1], bytes[2], bytes[3]);
  return LookupResult::kOk;
}

}  // namespace tarnlet
