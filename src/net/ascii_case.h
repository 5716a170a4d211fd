// Comparison without case for protocol words and configured names: ASCII
// letters only, whatever locale the host has set, so a Shift-JIS byte is
// never folded.
#ifndef TARNLET_NET_ASCII_CASE_H_
#define TARNLET_NET_ASCII_CASE_H_

#include <cstddef>
#include <cstring>

namespace tarnlet {

constexpr char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

// a (length bytes) and the NUL-terminated b are the same but for the case
// of ASCII letters.
inline bool SameAsciiText(const char* a, std::size_t length, const char* b) {
  if (std::strlen(b) != length) return false;
  for (std::size_t i = 0; i < length; ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

}  // namespace tarnlet

#endif  // TARNLET_NET_ASCII_CASE_H_
