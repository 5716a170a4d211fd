#include "codec/encoded_word.h"

#include <cstring>

#include "codec/base64.h"
#include "codec/iso2022jp.h"
#include "codec/sjis.h"
#include "platform/platform.h"

namespace tarnlet {
namespace {

const char kPrefix[] = "=?ISO-2022-JP?B?";
const char kSuffix[] = "?=";

constexpr std::size_t kWrapperLength = sizeof(kPrefix) - 1 + sizeof(kSuffix) - 1;

// Source bytes of the character at p, as the conversion takes them.
std::size_t CharacterLength(const unsigned char* p) {
  if (StartsSjisPair(p)) return 2;
  if (*p >= 0xA0 && *p <= 0xDF) {
    std::int32_t code = 0;
    return static_cast<std::size_t>(WidenHalfKana(&code, p));
  }
  return 1;
}

}  // namespace

void EncodeHeaderWords(const char* source, std::size_t maxWord, EncodedWordSink sink,
                       void* context) {
  // Converted bytes one word carries: whole base64 groups only.
  constexpr std::size_t kMaxWord = 128;
  if (maxWord > kMaxWord) maxWord = kMaxWord;
  const std::size_t payload = (maxWord - kWrapperLength) / 4 * 3;
  // A chunk ends when its converted text fills a word, or at its own size.
  char chunk[kMaxWord];
  char converted[Iso2022JpCapacity(kMaxWord)];
  const unsigned char* p = reinterpret_cast<const unsigned char*>(source);
  while (*p != 0) {
    std::size_t chunkLength = 0;
    std::size_t length = 0;
    while (*p != 0) {
      const std::size_t n = CharacterLength(p);
      if (chunkLength > 0 && chunkLength + n >= sizeof chunk) break;
      std::memcpy(chunk + chunkLength, p, n);
      chunk[chunkLength + n] = '\0';
      SjisToIso2022Jp(chunk, converted);
      const std::size_t grown = std::strlen(converted);
      if (grown > payload && chunkLength > 0) break;
      chunkLength += n;
      length = grown;
      p += n;
    }
    chunk[chunkLength] = '\0';
    SjisToIso2022Jp(chunk, converted);
    char word[kMaxWord + 1];
    std::memcpy(word, kPrefix, sizeof(kPrefix) - 1);
    int encoded = 0;
    Base64Codec::Encode(word + sizeof(kPrefix) - 1, &encoded,
                        reinterpret_cast<const unsigned char*>(converted),
                        static_cast<int>(length));
    std::memcpy(word + sizeof(kPrefix) - 1 + encoded, kSuffix, sizeof(kSuffix));
    sink(context, word);
  }
}

std::int32_t EncodeHeaderWord(const char* source, char* output) {
  Platform& platform = CurrentPlatform();
  const std::size_t n = std::strlen(source);
  char* converted = static_cast<char*>(platform.Allocate(Iso2022JpCapacity(n)));
  if (converted == nullptr) return 0;
  SjisToIso2022Jp(source, converted);
  const std::size_t m = std::strlen(converted);

  char* encoded = static_cast<char*>(platform.Allocate(4 * ((m + 2) / 3) + 1));
  if (encoded == nullptr) {
    platform.Release(converted);
    return 0;
  }
  int length = 0;
  Base64Codec::Encode(encoded, &length, reinterpret_cast<const unsigned char*>(converted),
                      static_cast<int>(m));
  encoded[length] = '\0';

  char* out = output;
  std::memcpy(out, kPrefix, sizeof(kPrefix) - 1);
  out += sizeof(kPrefix) - 1;
  std::memcpy(out, encoded, static_cast<std::size_t>(length));
  out += length;
  std::memcpy(out, kSuffix, sizeof(kSuffix));  // with the NUL

  platform.Release(encoded);
  platform.Release(converted);
  return 1;
}

}  // namespace tarnlet
