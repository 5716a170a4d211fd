#include "codec/base64.h"

#include <cstdint>
#include <cstring>

namespace tarnlet {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The two characters of every 12-bit value: one lookup per half group
// instead of one per character (8 KiB, built at compile time).
struct CharacterPairs {
  char pair[4096][2];
  constexpr CharacterPairs() : pair{} {
    for (int v = 0; v < 4096; ++v) {
      pair[v][0] = kAlphabet[v >> 6];
      pair[v][1] = kAlphabet[v & 0x3F];
    }
  }
};
constexpr CharacterPairs kPairs;

// -1 for '=', -2 for anything outside the alphabet.
int ValueOf(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  if (c == '=') return -1;
  return -2;
}

}  // namespace

void Base64Codec::Encode(char* out, int* outLength, const unsigned char* in, int inLength) {
  if (inLength <= 0) {
    *outLength = 0;
    return;
  }
  char* p = out;
  int i = 0;
  for (; i + 3 <= inLength; i += 3) {
    const std::uint32_t v = (static_cast<std::uint32_t>(in[i]) << 16) |
                            (static_cast<std::uint32_t>(in[i + 1]) << 8) | in[i + 2];
    // Assembled apart from out, which as char may alias in: one store.
    char group[4];
    std::memcpy(group, kPairs.pair[v >> 12], 2);
    std::memcpy(group + 2, kPairs.pair[v & 0xFFF], 2);
    std::memcpy(p, group, 4);
    p += 4;
  }
  const int rest = inLength - i;
  if (rest == 1) {
    const unsigned b0 = in[i];
    *p++ = kAlphabet[b0 >> 2];
    *p++ = kAlphabet[(b0 & 3) << 4];
    *p++ = '=';
    *p++ = '=';
  } else if (rest == 2) {
    const unsigned b0 = in[i], b1 = in[i + 1];
    *p++ = kAlphabet[b0 >> 2];
    *p++ = kAlphabet[((b0 & 3) << 4) | (b1 >> 4)];
    *p++ = kAlphabet[(b1 & 0x0F) << 2];
    *p++ = '=';
  }
  *outLength = static_cast<int>(p - out);
}

int Base64Codec::Decode(unsigned char* out, int* outLength, const char* in, int inLength) {
  if (inLength < 0 || inLength % 4 != 0) return 0;
  unsigned char* p = out;
  for (int i = 0; i < inLength; i += 4) {
    int s[4];
    int k = 0;
    bool padSeen = false;
    for (int j = 0; j < 4; ++j) {
      const int v = ValueOf(in[i + j]);
      if (v == -2) return 0;
      if (v == -1) {
        padSeen = true;
        continue;
      }
      // An alphabet character after '=' is no valid base64; refusing it
      // keeps the positions of the group unambiguous.
      if (padSeen) return 0;
      s[k++] = v;
    }
    if (k <= 1) return 0;
    *p++ = static_cast<unsigned char>((s[0] << 2) | (s[1] >> 4));
    if (k == 2) break;
    *p++ = static_cast<unsigned char>(((s[1] & 0x0F) << 4) | (s[2] >> 2));
    if (k == 3) break;
    *p++ = static_cast<unsigned char>(((s[2] & 3) << 6) | s[3]);
  }
  *outLength = static_cast<int>(p - out);
  return 1;
}

}  // namespace tarnlet
