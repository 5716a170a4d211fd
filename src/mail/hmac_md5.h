// Keyed digest of RFC 2104 over MD5, as CRAM-MD5 uses it.
#ifndef TARNLET_MAIL_HMAC_MD5_H_
#define TARNLET_MAIL_HMAC_MD5_H_

#include <cstddef>

namespace tarnlet {

constexpr std::size_t kHmacMd5BlockSize = 64;
constexpr std::size_t kHmacMd5DigestSize = 16;

// Writes HMAC-MD5(key, text) to digest. A key longer than the 64-byte block
// is replaced by its MD5 digest first, so keys of any length work.
void HmacMd5(const unsigned char* key, std::size_t keyLength, const unsigned char* text,
             std::size_t textLength, unsigned char digest[kHmacMd5DigestSize]);

}  // namespace tarnlet

#endif  // TARNLET_MAIL_HMAC_MD5_H_
