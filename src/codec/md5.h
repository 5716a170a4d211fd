// MD5 message digest of RFC 1321.
#ifndef TARNLET_CODEC_MD5_H_
#define TARNLET_CODEC_MD5_H_

#include <cstdint>

namespace tarnlet {

struct Md5Context {
  std::uint32_t state[4];  // A, B, C, D
  std::uint32_t count[2];  // bits processed, low word first
  unsigned char buffer[64];
};

class Md5Digest {
 public:
  virtual ~Md5Digest() = default;

  void Init(Md5Context* context);
  void Update(Md5Context* context, const unsigned char* input, std::uint32_t length);
  // Writes the 16 digest bytes and zeroes the whole context.
  void Final(unsigned char digest[16], Md5Context* context);
  void Transform(Md5Context* context, const unsigned char block[64]);
};

// The 16 bytes of digest as 32 lowercase hex digits and a NUL (out: 33 bytes).
void DigestToHex(const unsigned char digest[16], char* out);

}  // namespace tarnlet

#endif  // TARNLET_CODEC_MD5_H_
