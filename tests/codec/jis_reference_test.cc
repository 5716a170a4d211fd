// The conversion against independent converters: Python's CJK codecs and
// Unicode database (tables generated once by generate_reference_tables.py,
// so the test runs under Wine too) and, on Linux, glibc's iconv.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "codec/encoded_word.h"
#include "codec/half_kana_tables.h"
#include "codec/iso2022jp.h"
#include "convert_helper.h"
#include "support/reference_base64.h"
#include "support/reference_converter.h"

namespace tarnlet {
namespace {

using testing::Convert;
using testing::InKanji;

// 0xSSSSJJJJ: Shift-JIS code, JIS code.
const std::uint32_t kJis0208[] = {
#include "jis0208_reference.inc"
};

struct HalfKanaRow {
  int kana;
  std::int32_t alone, voiced, semiVoiced;  // 0: the mark does not combine
};
const HalfKanaRow kHalfKana[] = {
#include "half_kana_reference.inc"
};

std::string Pair(unsigned code) {
  return std::string{static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
}

const std::string kGeta = "\x22\x2E";

TEST(Jis0208ReferenceTest, EveryCharacterConvertsAsTheReferenceDoes) {
  EXPECT_EQ(6879u, sizeof(kJis0208) / sizeof(kJis0208[0]));
  for (std::uint32_t entry : kJis0208) {
    const unsigned sjis = entry >> 16, jis = entry & 0xFFFF;
    ASSERT_EQ(InKanji(Pair(jis)), Convert(Pair(sjis))) << std::hex << sjis;
    std::int32_t first = static_cast<std::int32_t>(sjis >> 8);
    std::int32_t second = static_cast<std::int32_t>(sjis & 0xFF);
    SjisPairToJis(&first, &second);
    EXPECT_EQ(jis, static_cast<unsigned>(first << 8 | second)) << std::hex << sjis;
  }
}

TEST(Jis0208ReferenceTest, AllCharactersInOneRunNeedOneEscapePair) {
  std::string sjis, jis;
  for (std::uint32_t entry : kJis0208) {
    sjis += Pair(entry >> 16);
    jis += Pair(entry & 0xFFFF);
  }
  EXPECT_EQ(InKanji(jis) + "\r\n", Convert(sjis + "\r\n"));
}

// Outside JIS X 0208 the arithmetic decides, not any mapping table, as long
// as it stays within 7 bits; beyond, the geta mark 〓 stands in.
TEST(Jis0208ReferenceTest, ArithmeticRowsOutsideTheStandardSet) {
  const struct {
    unsigned sjis;
    unsigned jis;
    const char* what;
  } kCases[] = {
      {0x8740, 0x2D21, "NEC row 13 first, circled one"},
      {0x875F, 0x2D40, "NEC row 13, square milli"},
      {0x879C, 0x2D7C, "NEC row 13 last, union"},
      {0xED40, 0x7921, "NEC-selected IBM extension, first"},
      {0xEEFC, 0x7C7E, "NEC-selected IBM extension, last"},
      {0x8540, 0x2921, "unassigned row 9"},
      {0xEFFC, 0x7E7E, "unassigned row 94"},
      {0xF040, 0x222E, "user-defined, first: geta"},
      {0xF09F, 0x222E, "user-defined, start of an even row: geta"},
      {0xF9FC, 0x222E, "user-defined, last: geta"},
  };
  for (const auto& c : kCases) EXPECT_EQ(InKanji(Pair(c.jis)), Convert(Pair(c.sjis))) << c.what;
}

bool IsTrailByte(unsigned c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC); }

// The Subject's path: the whole text as one encoded word.
std::string Word(const std::string& sjis) {
  std::vector<char> word(EncodedWordCapacity(sjis.size()));
  EXPECT_EQ(1, EncodeHeaderWord(sjis.c_str(), word.data()));
  return word.data();
}

// Every lead byte with every second byte, and alone at the end. A pair
// gives the reference's code, or the arithmetic's where it stays in 7 bits;
// anything else the geta mark, with the byte after it read on its own and
// the text after that arriving whole.
TEST(Jis0208ReferenceTest, EveryLeadByteWithEverySecondByte) {
  std::map<unsigned, unsigned> reference;
  for (std::uint32_t entry : kJis0208) reference[entry >> 16] = entry & 0xFFFF;
  const std::string after = "<after>";
  int pairs = 0, referenced = 0;
  for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
    if (lead >= 0xA0 && lead < 0xE0) continue;
    for (unsigned second = 0; second <= 0xFF; ++second) {
      const std::string in =
          second == 0 ? std::string(1, static_cast<char>(lead)) : Pair(lead << 8 | second) + after;
      const std::string out = Convert(in);
      SCOPED_TRACE(::testing::Message() << std::hex << lead << " " << second);
      for (char c : out) ASSERT_EQ(0, c & 0x80);
      EXPECT_EQ("=?ISO-2022-JP?B?" + testing::ReferenceBase64(out) + "?=", Word(in));
      if (second == 0) {
        EXPECT_EQ(InKanji(kGeta), out);
        continue;
      }
      ASSERT_GE(out.size(), after.size());
      EXPECT_EQ(after, out.substr(out.size() - after.size()));
      if (!IsTrailByte(second)) {
        const std::string alone =
            second < 0x80 ? InKanji(kGeta) + static_cast<char>(second) : InKanji(kGeta + kGeta);
        EXPECT_EQ(alone + after, out);
        continue;
      }
      ++pairs;
      std::int32_t first = static_cast<std::int32_t>(lead);
      std::int32_t trail = static_cast<std::int32_t>(second);
      SjisPairToJis(&first, &trail);
      auto hit = reference.find(lead << 8 | second);
      std::string jis = Pair(static_cast<unsigned>(first << 8 | trail));
      if (hit != reference.end()) {
        jis = Pair(hit->second);
        ++referenced;
      } else if (first > 0x7E) {
        jis = kGeta;  // the user-defined area and beyond
      }
      EXPECT_EQ(InKanji(jis) + after, out);
    }
  }
  EXPECT_EQ(60 * 188, pairs);  // lead bytes 0x81-0x9F and 0xE0-0xFC
  EXPECT_EQ(6879, referenced);
}

TEST(HalfKanaReferenceTest, WidenedAsNfkcGivesTheFullWidthForms) {
  EXPECT_EQ(63u, sizeof(kHalfKana) / sizeof(kHalfKana[0]));
  for (const HalfKanaRow& row : kHalfKana) {
    const char kana = static_cast<char>(row.kana);
    const std::string alone = Pair(static_cast<unsigned>(row.alone));
    EXPECT_EQ(InKanji(alone), Convert(std::string(1, kana))) << std::hex << row.kana;
    const struct {
      char mark;
      std::int32_t combined;
    } kMarks[] = {{'\xDE', row.voiced}, {'\xDF', row.semiVoiced}};
    for (const auto& m : kMarks) {
      const std::string expected = m.combined != 0
                                       ? Pair(static_cast<unsigned>(m.combined))
                                       : alone + Pair(m.mark == '\xDE' ? 0x212B : 0x212C);
      EXPECT_EQ(InKanji(expected), Convert(std::string{kana, m.mark}))
          << std::hex << row.kana << " + " << (m.mark & 0xFF);
    }
  }
}

TEST(HalfKanaReferenceTest, WidenHalfKanaReportsWhatItConsumed) {
  for (const HalfKanaRow& row : kHalfKana) {
    const unsigned char text[] = {static_cast<unsigned char>(row.kana), 0xDE, 0};
    std::int32_t code = 0;
    EXPECT_EQ(row.voiced != 0 ? 2 : 1, WidenHalfKana(&code, text)) << std::hex << row.kana;
    EXPECT_EQ(row.voiced != 0 ? row.voiced : row.alone, code) << std::hex << row.kana;
    const unsigned char last[] = {static_cast<unsigned char>(row.kana), 0};
    EXPECT_EQ(1, WidenHalfKana(&code, last));
    EXPECT_EQ(row.alone, code);
  }
  const unsigned char space[] = {0xA0, 0xDE, 0};
  std::int32_t code = 0;
  EXPECT_EQ(1, WidenHalfKana(&code, space));
  EXPECT_EQ(0x2121, code);
}

TEST(HalfKanaReferenceTest, SoundMarkTablesEndWhereTheSearchStops) {
  int voiced = 0, semiVoiced = 0;
  for (const HalfKanaRow& row : kHalfKana) {
    voiced += row.voiced != 0;
    semiVoiced += row.semiVoiced != 0;
  }
  EXPECT_EQ(21, voiced);
  EXPECT_EQ(5, semiVoiced);
  EXPECT_EQ(0, VoicedKanaTable[voiced].kana);
  EXPECT_EQ(0, VoicedKanaTable[voiced].code);
  EXPECT_EQ(0, SemiVoicedKanaTable[semiVoiced].kana);
  EXPECT_EQ(0, SemiVoicedKanaTable[semiVoiced].code);
}

#ifndef _WIN32
// A second opinion from glibc's own code page 932 table. EUC-JP-MS carries
// JIS X 0208 and NEC row 13 as the JIS code with both high bits set.
TEST(Jis0208ReferenceTest, AgreesWithIconvWhereIconvGivesTwoByteEucJp) {
  auto converter = testing::ReferenceConverter::Open("EUC-JP-MS", "CP932");
  ASSERT_NE(nullptr, converter);
  int agreed = 0;
  for (unsigned lead = 0x81; lead <= 0xEF; ++lead) {
    if (lead >= 0xA0 && lead < 0xE0) continue;
    for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
      const char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      const auto out = converter->Convert(std::string(in, 2));
      if (!out || out->size() != 2) continue;
      const unsigned char b0 = static_cast<unsigned char>((*out)[0]);
      const unsigned char b1 = static_cast<unsigned char>((*out)[1]);
      if (b0 < 0xA1 || b1 < 0xA1) continue;
      const unsigned jis = (b0 & 0x7Fu) << 8 | (b1 & 0x7Fu);
      // iconv folds the NEC duplicates of row 2 characters onto row 2; the
      // arithmetic keeps every NEC code in its own row.
      const bool necRow = lead == 0x87 || lead == 0xED || lead == 0xEE;
      if (necRow && (jis >> 8) != 0x2D) continue;
      EXPECT_EQ(InKanji(Pair(jis)), Convert(std::string(in, 2))) << std::hex << lead << trail;
      ++agreed;
    }
  }
  EXPECT_EQ(6879 + 83 - 9, agreed);  // JIS X 0208, NEC row 13 less 9 duplicates
}
#endif

}  // namespace
}  // namespace tarnlet
