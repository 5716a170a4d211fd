// How code page 932 text divides into characters. Every scan of Shift-JIS
// text in the library pairs bytes by this one rule, so a CR, LF, '/' or '\\'
// after a lead byte keeps its meaning everywhere alike.
#ifndef TARNLET_CODEC_SJIS_H_
#define TARNLET_CODEC_SJIS_H_

#include <cstddef>

namespace tarnlet {

inline bool IsSjisLeadByte(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

inline bool IsSjisTrailByte(unsigned char c) {
  return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
}

// True when p starts a double-byte character: a lead byte and a real trail
// byte. A lead byte before anything else (the terminator included) stands
// alone. REQUIRES: p points into a NUL-terminated string.
inline bool StartsSjisPair(const unsigned char* p) {
  return IsSjisLeadByte(p[0]) && IsSjisTrailByte(p[1]);
}

}  // namespace tarnlet

#endif  // TARNLET_CODEC_SJIS_H_
