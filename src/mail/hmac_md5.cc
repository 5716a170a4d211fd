#include "mail/hmac_md5.h"

#include <cstdint>
#include <cstring>

#include "codec/md5.h"
#include "mail/wipe.h"

namespace tarnlet {
namespace {

// Md5Digest::Update takes 32-bit lengths; feed larger inputs in pieces.
void UpdateAll(Md5Digest& md5, Md5Context* context, const unsigned char* data, std::size_t length) {
  constexpr std::size_t kPiece = 0x40000000;
  while (length > kPiece) {
    md5.Update(context, data, static_cast<std::uint32_t>(kPiece));
    data += kPiece;
    length -= kPiece;
  }
  md5.Update(context, data, static_cast<std::uint32_t>(length));
}

}  // namespace

void HmacMd5(const unsigned char* key, std::size_t keyLength, const unsigned char* text,
             std::size_t textLength, unsigned char digest[kHmacMd5DigestSize]) {
  Md5Digest md5;
  Md5Context context;

  unsigned char hashedKey[kHmacMd5DigestSize];
  if (keyLength > kHmacMd5BlockSize) {
    md5.Init(&context);
    UpdateAll(md5, &context, key, keyLength);
    md5.Final(hashedKey, &context);
    key = hashedKey;
    keyLength = kHmacMd5DigestSize;
  }

  unsigned char innerPad[kHmacMd5BlockSize];
  unsigned char outerPad[kHmacMd5BlockSize];
  std::memset(innerPad, 0x36, sizeof innerPad);
  std::memset(outerPad, 0x5C, sizeof outerPad);
  for (std::size_t i = 0; i < keyLength; ++i) {
    innerPad[i] ^= key[i];
    outerPad[i] ^= key[i];
  }

  unsigned char innerDigest[kHmacMd5DigestSize];
  md5.Init(&context);
  md5.Update(&context, innerPad, sizeof innerPad);
  UpdateAll(md5, &context, text, textLength);
  md5.Final(innerDigest, &context);

  md5.Init(&context);
  md5.Update(&context, outerPad, sizeof outerPad);
  md5.Update(&context, innerDigest, sizeof innerDigest);
  md5.Final(digest, &context);
  // The pads are the key with a constant XORed in: as good as the password.
  WipeSecret(innerPad, sizeof innerPad);
  WipeSecret(outerPad, sizeof outerPad);
  WipeSecret(hashedKey, sizeof hashedKey);
}

}  // namespace tarnlet
