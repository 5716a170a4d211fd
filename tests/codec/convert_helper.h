// Runs SjisToIso2022Jp on an exactly sized source and a destination of
// exactly the promised capacity, followed by guard bytes that must survive.
#ifndef TARNLET_TESTS_CODEC_CONVERT_HELPER_H_
#define TARNLET_TESTS_CODEC_CONVERT_HELPER_H_

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "codec/iso2022jp.h"

namespace tarnlet {
namespace testing {

const std::string kToKanji = "\x1b$B";
const std::string kToAscii = "\x1b(B";

// The output up to its NUL; *written, if given, receives the byte count
// including the NUL.
inline std::string Convert(const std::string& sjis, std::size_t* written = nullptr) {
  // A heap block of exactly n + 1 bytes lets the address sanitizer catch any
  // read past the terminator.
  std::unique_ptr<char[]> source(new char[sjis.size() + 1]);
  std::memcpy(source.get(), sjis.c_str(), sjis.size() + 1);
  const std::size_t capacity = Iso2022JpCapacity(sjis.size());
  std::vector<char> out(capacity + 16, '\x7E');
  SjisToIso2022Jp(source.get(), out.data());
  for (std::size_t i = capacity; i < out.size(); ++i) {
    EXPECT_EQ('\x7E', out[i]) << "wrote past the capacity at " << i;
  }
  const std::size_t length = std::strlen(out.data());
  if (written != nullptr) *written = length + 1;
  return std::string(out.data(), length);
}

// ESC $ B, the given JIS bytes, ESC ( B.
inline std::string InKanji(const std::string& jis) { return kToKanji + jis + kToAscii; }

}  // namespace testing
}  // namespace tarnlet

#endif  // TARNLET_TESTS_CODEC_CONVERT_HELPER_H_
