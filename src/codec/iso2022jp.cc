#include "codec/iso2022jp.h"

#include <cstdint>

#include "codec/half_kana_tables.h"
#include "codec/ibm_extension_table.h"

namespace tarnlet {
namespace {

const char kToKanji[] = "\x1b$B";
const char kToAscii[] = "\x1b(B";

bool IsLeadByte(unsigned c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
bool IsHalfKana(unsigned c) { return c >= 0xA0 && c <= 0xDF; }

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
    const unsigned c = *p;
    const bool lead = IsLeadByte(c);
    if (!lead && !IsHalfKana(c)) {
      if (kanji) {
        out = PutEscape(out, kToAscii);
        kanji = false;
      }
      *out++ = static_cast<char>(c);
      ++p;
      continue;
    }
    // A lead byte cut off by the terminator has no character to write.
    if (lead && p[1] == 0) break;
    if (!kanji) {
      out = PutEscape(out, kToKanji);
      kanji = true;
    }
    if (lead) {
      std::int32_t first = static_cast<std::int32_t>(c);
      std::int32_t second = p[1];
      SjisPairToJis(&first, &second);
      *out++ = static_cast<char>(first);
      *out++ = static_cast<char>(second);
      p += 2;
    } else {
      std::int32_t code = 0;
      p += WidenHalfKana(&code, p);
      *out++ = static_cast<char>((code >> 8) & 0xFF);
      *out++ = static_cast<char>(code & 0xFF);
    }
  }
  if (kanji) out = PutEscape(out, kToAscii);
  *out = '\0';
}

}  // namespace tarnlet
