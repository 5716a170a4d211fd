// The reference structure of RFC 1321: same constants, rounds, buffering.
#include "codec/md5.h"

#include <cstring>

namespace tarnlet {
namespace {

const unsigned char kPadding[64] = {0x80};

constexpr std::uint32_t F(std::uint32_t x, std::uint32_t y, std::uint32_t z) {
  return (x & y) | (~x & z);
}
constexpr std::uint32_t G(std::uint32_t x, std::uint32_t y, std::uint32_t z) {
  return (x & z) | (y & ~z);
}
constexpr std::uint32_t H(std::uint32_t x, std::uint32_t y, std::uint32_t z) { return x ^ y ^ z; }
constexpr std::uint32_t I(std::uint32_t x, std::uint32_t y, std::uint32_t z) {
  return y ^ (x | ~z);
}
constexpr std::uint32_t RotateLeft(std::uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

#define TARNLET_MD5_STEP(f, a, b, c, d, x, s, ac) \
  (a) += f((b), (c), (d)) + (x) + (ac);           \
  (a) = RotateLeft((a), (s));                     \
  (a) += (b)

// Little-endian words to bytes and back, independent of the host order.
void EncodeWords(unsigned char* out, const std::uint32_t* in, unsigned length) {
  for (unsigned i = 0, j = 0; j < length; ++i, j += 4) {
    out[j] = static_cast<unsigned char>(in[i] & 0xff);
    out[j + 1] = static_cast<unsigned char>((in[i] >> 8) & 0xff);
    out[j + 2] = static_cast<unsigned char>((in[i] >> 16) & 0xff);
    out[j + 3] = static_cast<unsigned char>((in[i] >> 24) & 0xff);
  }
}

void DecodeWords(std::uint32_t* out, const unsigned char* in, unsigned length) {
  for (unsigned i = 0, j = 0; j < length; ++i, j += 4) {
    out[i] = static_cast<std::uint32_t>(in[j]) | (static_cast<std::uint32_t>(in[j + 1]) << 8) |
             (static_cast<std::uint32_t>(in[j + 2]) << 16) |
             (static_cast<std::uint32_t>(in[j + 3]) << 24);
  }
}

}  // namespace

void Md5Digest::Init(Md5Context* context) {
  context->count[0] = context->count[1] = 0;
  context->state[0] = 0x67452301;
  context->state[1] = 0xefcdab89;
  context->state[2] = 0x98badcfe;
  context->state[3] = 0x10325476;
}

void Md5Digest::Update(Md5Context* context, const unsigned char* input, std::uint32_t length) {
  std::uint32_t index = (context->count[0] >> 3) & 0x3F;
  if ((context->count[0] += length << 3) < (length << 3)) context->count[1]++;
  context->count[1] += length >> 29;
  const std::uint32_t partLength = 64 - index;

  std::uint32_t i = 0;
  if (length >= partLength) {
    std::memcpy(&context->buffer[index], input, partLength);
    Transform(context, context->buffer);
    for (i = partLength; i + 63 < length; i += 64) Transform(context, &input[i]);
    index = 0;
  }
  if (length > i) std::memcpy(&context->buffer[index], &input[i], length - i);
}

void Md5Digest::Final(unsigned char digest[16], Md5Context* context) {
  unsigned char bits[8];
  EncodeWords(bits, context->count, 8);
  const std::uint32_t index = (context->count[0] >> 3) & 0x3F;
  const std::uint32_t padLength = (index < 56) ? (56 - index) : (120 - index);
  Update(context, kPadding, padLength);
  Update(context, bits, 8);
  EncodeWords(digest, context->state, 16);
  // The context held key-derived state for CRAM-MD5; leave nothing behind.
  std::memset(context, 0, sizeof(*context));
}

void Md5Digest::Transform(Md5Context* context, const unsigned char block[64]) {
  std::uint32_t a = context->state[0], b = context->state[1], c = context->state[2],
                d = context->state[3];
  std::uint32_t x[16];
  DecodeWords(x, block, 64);

  // Round 1
  TARNLET_MD5_STEP(F, a, b, c, d, x[0], 7, 0xd76aa478);
  TARNLET_MD5_STEP(F, d, a, b, c, x[1], 12, 0xe8c7b756);
  TARNLET_MD5_STEP(F, c, d, a, b, x[2], 17, 0x242070db);
  TARNLET_MD5_STEP(F, b, c, d, a, x[3], 22, 0xc1bdceee);
  TARNLET_MD5_STEP(F, a, b, c, d, x[4], 7, 0xf57c0faf);
  TARNLET_MD5_STEP(F, d, a, b, c, x[5], 12, 0x4787c62a);
  TARNLET_MD5_STEP(F, c, d, a, b, x[6], 17, 0xa8304613);
  TARNLET_MD5_STEP(F, b, c, d, a, x[7], 22, 0xfd469501);
  TARNLET_MD5_STEP(F, a, b, c, d, x[8], 7, 0x698098d8);
  TARNLET_MD5_STEP(F, d, a, b, c, x[9], 12, 0x8b44f7af);
  TARNLET_MD5_STEP(F, c, d, a, b, x[10], 17, 0xffff5bb1);
  TARNLET_MD5_STEP(F, b, c, d, a, x[11], 22, 0x895cd7be);
  TARNLET_MD5_STEP(F, a, b, c, d, x[12], 7, 0x6b901122);
  TARNLET_MD5_STEP(F, d, a, b, c, x[13], 12, 0xfd987193);
  TARNLET_MD5_STEP(F, c, d, a, b, x[14], 17, 0xa679438e);
  TARNLET_MD5_STEP(F, b, c, d, a, x[15], 22, 0x49b40821);

  // Round 2
  TARNLET_MD5_STEP(G, a, b, c, d, x[1], 5, 0xf61e2562);
  TARNLET_MD5_STEP(G, d, a, b, c, x[6], 9, 0xc040b340);
  TARNLET_MD5_STEP(G, c, d, a, b, x[11], 14, 0x265e5a51);
  TARNLET_MD5_STEP(G, b, c, d, a, x[0], 20, 0xe9b6c7aa);
  TARNLET_MD5_STEP(G, a, b, c, d, x[5], 5, 0xd62f105d);
  TARNLET_MD5_STEP(G, d, a, b, c, x[10], 9, 0x02441453);
  TARNLET_MD5_STEP(G, c, d, a, b, x[15], 14, 0xd8a1e681);
  TARNLET_MD5_STEP(G, b, c, d, a, x[4], 20, 0xe7d3fbc8);
  TARNLET_MD5_STEP(G, a, b, c, d, x[9], 5, 0x21e1cde6);
  TARNLET_MD5_STEP(G, d, a, b, c, x[14], 9, 0xc33707d6);
  TARNLET_MD5_STEP(G, c, d, a, b, x[3], 14, 0xf4d50d87);
  TARNLET_MD5_STEP(G, b, c, d, a, x[8], 20, 0x455a14ed);
  TARNLET_MD5_STEP(G, a, b, c, d, x[13], 5, 0xa9e3e905);
  TARNLET_MD5_STEP(G, d, a, b, c, x[2], 9, 0xfcefa3f8);
  TARNLET_MD5_STEP(G, c, d, a, b, x[7], 14, 0x676f02d9);
  TARNLET_MD5_STEP(G, b, c, d, a, x[12], 20, 0x8d2a4c8a);

  // Round 3
  TARNLET_MD5_STEP(H, a, b, c, d, x[5], 4, 0xfffa3942);
  TARNLET_MD5_STEP(H, d, a, b, c, x[8], 11, 0x8771f681);
  TARNLET_MD5_STEP(H, c, d, a, b, x[11], 16, 0x6d9d6122);
  TARNLET_MD5_STEP(H, b, c, d, a, x[14], 23, 0xfde5380c);
  TARNLET_MD5_STEP(H, a, b, c, d, x[1], 4, 0xa4beea44);
  TARNLET_MD5_STEP(H, d, a, b, c, x[4], 11, 0x4bdecfa9);
  TARNLET_MD5_STEP(H, c, d, a, b, x[7], 16, 0xf6bb4b60);
  TARNLET_MD5_STEP(H, b, c, d, a, x[10], 23, 0xbebfbc70);
  TARNLET_MD5_STEP(H, a, b, c, d, x[13], 4, 0x289b7ec6);
  TARNLET_MD5_STEP(H, d, a, b, c, x[0], 11, 0xeaa127fa);
  TARNLET_MD5_STEP(H, c, d, a, b, x[3], 16, 0xd4ef3085);
  TARNLET_MD5_STEP(H, b, c, d, a, x[6], 23, 0x04881d05);
  TARNLET_MD5_STEP(H, a, b, c, d, x[9], 4, 0xd9d4d039);
  TARNLET_MD5_STEP(H, d, a, b, c, x[12], 11, 0xe6db99e5);
  TARNLET_MD5_STEP(H, c, d, a, b, x[15], 16, 0x1fa27cf8);
  TARNLET_MD5_STEP(H, b, c, d, a, x[2], 23, 0xc4ac5665);

  // Round 4
  TARNLET_MD5_STEP(I, a, b, c, d, x[0], 6, 0xf4292244);
  TARNLET_MD5_STEP(I, d, a, b, c, x[7], 10, 0x432aff97);
  TARNLET_MD5_STEP(I, c, d, a, b, x[14], 15, 0xab9423a7);
  TARNLET_MD5_STEP(I, b, c, d, a, x[5], 21, 0xfc93a039);
  TARNLET_MD5_STEP(I, a, b, c, d, x[12], 6, 0x655b59c3);
  TARNLET_MD5_STEP(I, d, a, b, c, x[3], 10, 0x8f0ccc92);
  TARNLET_MD5_STEP(I, c, d, a, b, x[10], 15, 0xffeff47d);
  TARNLET_MD5_STEP(I, b, c, d, a, x[1], 21, 0x85845dd1);
  TARNLET_MD5_STEP(I, a, b, c, d, x[8], 6, 0x6fa87e4f);
  TARNLET_MD5_STEP(I, d, a, b, c, x[15], 10, 0xfe2ce6e0);
  TARNLET_MD5_STEP(I, c, d, a, b, x[6], 15, 0xa3014314);
  TARNLET_MD5_STEP(I, b, c, d, a, x[13], 21, 0x4e0811a1);
  TARNLET_MD5_STEP(I, a, b, c, d, x[4], 6, 0xf7537e82);
  TARNLET_MD5_STEP(I, d, a, b, c, x[11], 10, 0xbd3af235);
  TARNLET_MD5_STEP(I, c, d, a, b, x[2], 15, 0x2ad7d2bb);
  TARNLET_MD5_STEP(I, b, c, d, a, x[9], 21, 0xeb86d391);

  context->state[0] += a;
  context->state[1] += b;
  context->state[2] += c;
  context->state[3] += d;
  // Message words may be password material.
  std::memset(x, 0, sizeof(x));
}

#undef TARNLET_MD5_STEP

void DigestToHex(const unsigned char digest[16], char* out) {
  static const char kHex[] = "0123456789abcdef";
  for (int i = 0; i < 16; ++i) {
    out[2 * i] = kHex[digest[i] >> 4];
    out[2 * i + 1] = kHex[digest[i] & 0x0F];
  }
  out[32] = '\0';
}

}  // namespace tarnlet
