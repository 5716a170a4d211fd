#include "codec/iso2022jp.h"

#include <cstdint>

#include "codec/half_kana_tables.h"
#include "codec/ibm_extension_table.h"
#include "codec/sjis.h"

namespace tarnlet {
namespace {

const char kToKanji[] = "\x1b$B";
const char kToAscii[] = "\x1b(B";

// The geta mark 〓 stands for any text with no ISO-2022-JP form.
constexpr std::int32_t kGeta = 0x222E;

bool IsHalfKana(unsigned c) { return c >= 0xA0 && c <= 0xDF; }
bool IsSingleByte(unsigned c) { return c < 0x80; }
bool IsJisByte(std::int32_t b) { return b >= 0x21 && b <= 0x7E; }

const KanaPair* FindKana(const KanaPair* table, unsigned char kana) {
  for (; table->code != 0; ++table) {
    if (table->kana == kana) return table;
  }
  return nullptr;
}

char* PutEscape(char* out, const char* escape) {
  out[0] = escape[0];
  out[1] = escape[1];
  out[2] = escape[2];
  return out + 3;
}

// The JIS X 0208 code of the character at p, or kGeta when it has none;
// *length receives the source bytes it takes.
std::int32_t CharacterCode(const unsigned char* p, std::int32_t* length) {
  if (IsHalfKana(*p)) {
    std::int32_t code = 0;
    *length = WidenHalfKana(&code, p);
    return code;
  }
  if (!StartsSjisPair(p)) {
    *length = 1;  // a lead byte without a trail byte, 0x80 or 0xFD-0xFF
    return kGeta;
  }
  *length = 2;
  std::int32_t first = p[0];
  std::int32_t second = p[1];
  SjisPairToJis(&first, &second);
  // The user-defined area and the codes after the IBM extensions compute to
  // bytes above 0x7E, which 7-bit text cannot carry.
  if (!IsJisByte(first) || !IsJisByte(second)) return kGeta;
  return first << 8 | second;
}

}  // namespace

std::uint16_t IbmExtensionDuplicate(std::uint16_t code) {
  const unsigned lead = code >> 8;
  const unsigned trail = code & 0xFF;
  if (lead < 0xFA || lead > 0xFC || trail < 0x40 || trail > 0xFC || trail == 0x7F) return code;
  const int index = static_cast<int>((lead - 0xFA) * 188 + (trail - 0x40) - (trail > 0x7F ? 1 : 0));
  return index < kIbmExtensionCount ? kIbmExtensionDuplicates[index] : code;
}

void SjisPairToJis(std::int32_t* first, std::int32_t* second) {
  const std::uint16_t code =
      IbmExtensionDuplicate(static_cast<std::uint16_t>(((*first & 0xFF) << 8) | (*second & 0xFF)));
  const int s1 = code >> 8;
  const int s2 = code & 0xFF;
  int j1 = s1 <= 0x9F ? 2 * s1 - 0xE1 : 2 * s1 - 0x161;
  if (s2 >= 0x9F) ++j1;
  const int j2 = s2 < 0x7F ? s2 - 0x1F : (s2 < 0x9F ? s2 - 0x20 : s2 - 0x7E);
  *first = j1 & 0xFF;
  *second = j2 & 0xFF;
}

std::int32_t WidenHalfKana(std::int32_t* code, const unsigned char* p) {
  const unsigned char c = p[0];
  const unsigned char mark = p[1];
  const KanaPair* hit = nullptr;
  if (mark == 0xDE) {
    hit = FindKana(VoicedKanaTable, c);
  } else if (mark == 0xDF) {
    hit = FindKana(SemiVoicedKanaTable, c);
  }
  if (hit != nullptr) {
    *code = hit->code;
    return 2;
  }
  *code = HalfKanaTable[(c - 0xA0) & 0x3F];
  return 1;
}

void SjisToIso2022Jp(const char* source, char* destination) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(source);
  char* out = destination;
  bool kanji = false;
  while (*p != 0) {
    if (IsSingleByte(*p)) {
      if (kanji) {
        out = PutEscape(out, kToAscii);
        kanji = false;
      }
      *out++ = static_cast<char>(*p++);
      continue;
    }
    if (!kanji) {
      out = PutEscape(out, kToKanji);
      kanji = true;
    }
    std::int32_t length = 1;
    const std::int32_t code = CharacterCode(p, &length);
    *out++ = static_cast<char>((code >> 8) & 0xFF);
    *out++ = static_cast<char>(code & 0xFF);
    p += length;
  }
  if (kanji) out = PutEscape(out, kToAscii);
  *out = '\0';
}

}  // namespace tarnlet
