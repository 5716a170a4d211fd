// Host names to dotted IPv4 text through getaddrinfo. Its failures map onto
// the rows of the lookup table; the EAI code is the error number.
#ifndef _GNU_SOURCE
#define _GNU_SOURCE 1  // EAI_NODATA is a GNU extension
#endif
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdio>
#include <cstring>

#include "platform/system_platform.h"

namespace tarnlet {
namespace {

LookupResult FailureRow(int code) {
  switch (code) {
    case EAI_NONAME:
      return LookupResult::kHostNotFound;
    case EAI_AGAIN:
      return LookupResult::kTryAgain;
    case EAI_FAIL:
      return LookupResult::kNoRecovery;
#ifdef EAI_NODATA
    case EAI_NODATA:
      return LookupResult::kNoData;
#endif
    default:
      return LookupResult::kOther;
  }
}

}  // namespace

LookupResult SystemPlatform::ResolveIpv4(const char* name, char* out, int* error) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  int code = ::getaddrinfo(name, nullptr, &hints, &found);
  if (code != 0) {
    *error = code;
    return FailureRow(code);
  }
  const addrinfo* first = found;
  while (first != nullptr && (first->ai_family != AF_INET || first->ai_addr == nullptr)) {
    first = first->ai_next;
  }
  if (first == nullptr) {
    ::freeaddrinfo(found);
    *error = -1;  // an answer without an address
    return LookupResult::kOther;
  }
  sockaddr_in address;
  std::memcpy(&address, first->ai_addr, sizeof address);
  ::freeaddrinfo(found);
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&address.sin_addr.s_addr);
  std::snprintf(out, 16, "%d.%d.%d.%d", bytes[0], bytes[1], bytes[2], bytes[3]);
  return LookupResult::kOk;
}

}  // namespace tarnlet
