#include <cstring>

#include "codec/base64.h"
#include "codec/iso2022jp.h"
#include "platform/platform.h"

namespace tarnlet {
namespace {

const char kPrefix[] = "=?ISO-2022-JP?B?";
const char kSuffix[] = "?=";

}  // namespace

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
