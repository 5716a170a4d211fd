// The tests' one base64 encoder, deliberately naive: it walks the input bit
// by bit, so it shares nothing with the grouped arithmetic of the library.
#ifndef TARNLET_TESTS_SUPPORT_REFERENCE_BASE64_H_
#define TARNLET_TESTS_SUPPORT_REFERENCE_BASE64_H_

#include <string>

namespace tarnlet {
namespace testing {

inline std::string ReferenceBase64(const std::string& bytes) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  const std::size_t bits = bytes.size() * 8;
  std::string out;
  for (std::size_t start = 0; start < bits; start += 6) {
    int value = 0;
    for (std::size_t bit = start; bit < start + 6; ++bit) {
      int b = 0;
      if (bit < bits) b = (static_cast<unsigned char>(bytes[bit / 8]) >> (7 - bit % 8)) & 1;
      value = value * 2 + b;
    }
    out += kAlphabet[value];
  }
  while (out.size() % 4 != 0) out += '=';
  return out;
}

}  // namespace testing
}  // namespace tarnlet

#endif  // TARNLET_TESTS_SUPPORT_REFERENCE_BASE64_H_
