// Base64 of RFC 2045: standard alphabet, '=' padding, no line breaks.
#ifndef TARNLET_CODEC_BASE64_H_
#define TARNLET_CODEC_BASE64_H_

namespace tarnlet {

class Base64Codec {
 public:
  virtual ~Base64Codec() = default;

  // Writes exactly 4 * ceil(inLength / 3) characters to out (no NUL) and
  // stores that count; inLength <= 0 stores 0 and writes nothing.
  // REQUIRES: out holds 4 * ceil(inLength / 3) bytes.
  static void Encode(char* out, int* outLength, const unsigned char* in, int inLength);

  // Returns 1 and stores the byte count on success, 0 on malformed input
  // (length not a multiple of 4, a character outside the alphabet, a group
  // with one character). A padded group ends decoding.
  // REQUIRES: out holds 3 * (inLength / 4) bytes.
  static int Decode(unsigned char* out, int* outLength, const char* in, int inLength);
};

}  // namespace tarnlet

#endif  // TARNLET_CODEC_BASE64_H_
