// What both TLS engines tell people about a peer: whether its first bytes
// can begin a TLS record, the first line of those that cannot, and an
// address the certificate names.
#ifndef TARNLET_PLATFORM_TLS_TEXT_H_
#define TARNLET_PLATFORM_TLS_TEXT_H_

#include <cstddef>
#include <cstdio>
#include <string>

namespace tarnlet {

// A server's first record is a handshake (22) or an alert (21), TLS 1.x.
inline bool BeginsLikeTls(const char* bytes, std::size_t count) {
  const unsigned char type = static_cast<unsigned char>(bytes[0]);
  return type >= 20 && type <= 23 && (count < 2 || bytes[1] == 3);
}

// The first line of bytes, printable, NUL-terminated in out.
inline void FirstLine(const char* bytes, std::size_t count, char* out, std::size_t capacity) {
  std::size_t n = 0;
  for (; n < count && n + 1 < capacity; ++n) {
    const char c = bytes[n];
    if (c == '\r' || c == '\n') break;
    out[n] = c >= 0x20 && c < 0x7f ? c : '?';
  }
  out[n] = '\0';
}

inline std::string DottedIpv4(const unsigned char* address) {
  char text[16];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", address[0], address[1], address[2], address[3]);
  return text;
}

}  // namespace tarnlet

#endif  // TARNLET_PLATFORM_TLS_TEXT_H_
