// The tables behind WidenHalfKana: JIS X 0201 katakana to JIS X 0208.
#ifndef TARNLET_CODEC_HALF_KANA_TABLES_H_
#define TARNLET_CODEC_HALF_KANA_TABLES_H_

#include <cstdint>

namespace tarnlet {

struct KanaPair {
  unsigned char kana;  // a byte 0xA0-0xDF
  std::int32_t code;   // its JIS X 0208 form; 0 only in the terminating entry
};

// Indexed by byte - 0xA0; 0xA0 itself, unassigned in JIS X 0201, becomes the
// ideographic space.
extern const std::int32_t HalfKanaTable[64];
// Katakana with a voiced (0xDE) or semi-voiced (0xDF) form in JIS X 0208,
// each ended by {0, 0}.
extern const KanaPair VoicedKanaTable[22];
extern const KanaPair SemiVoicedKanaTable[6];

}  // namespace tarnlet

#endif  // TARNLET_CODEC_HALF_KANA_TABLES_H_
