// IBM extension characters leave as the 7-bit JIS of their duplicate.
#include "codec/ibm_extension_table.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "codec/iso2022jp.h"
#include "convert_helper.h"
#include "support/reference_converter.h"

namespace tarnlet {
namespace {

using testing::Convert;
using testing::InKanji;

struct Cp932Row {
  unsigned code;
  std::uint32_t unicode;
};
// From Python's 'cp932' codec.
const Cp932Row kCp932[] = {
#include "cp932_reference.inc"
};

std::string Pair(unsigned code) {
  return std::string{static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
}

// Lower is better: JIS X 0208 proper, NEC row 13, the NEC-selected rows.
int Rank(unsigned code) {
  const unsigned lead = code >> 8;
  if (lead <= 0x84) return 0;
  if (lead == 0x87) return 1;
  if (lead == 0xED || lead == 0xEE) return 2;
  return -1;
}

TEST(IbmExtensionTest, EveryCodeConvertsLikeItsDuplicateInSevenBits) {
  int ibmCodes = 0;
  for (const Cp932Row& ibm : kCp932) {
    if (ibm.code < 0xFA40) continue;
    ++ibmCodes;
    unsigned best = 0;
    for (const Cp932Row& other : kCp932) {
      if (other.unicode != ibm.unicode || Rank(other.code) < 0) continue;
      if (best == 0 || Rank(other.code) < Rank(best)) best = other.code;
    }
    ASSERT_NE(0u, best) << "no duplicate for " << std::hex << ibm.code;
    EXPECT_EQ(best, IbmExtensionDuplicate(static_cast<std::uint16_t>(ibm.code)))
        << std::hex << ibm.code;
    const std::string out = Convert(Pair(ibm.code));
    EXPECT_EQ(Convert(Pair(best)), out) << std::hex << ibm.code;
    for (char c : out) EXPECT_EQ(0, c & 0x80) << std::hex << ibm.code;
  }
  EXPECT_EQ(kIbmExtensionCount, ibmCodes);
}

TEST(IbmExtensionTest, WellKnownCharacters) {
  const struct {
    unsigned sjis;
    unsigned jis;
    const char* what;
  } kCases[] = {
      {0xFBFC, 0x7C62, "髙 as 0xEEE0"},
      {0xFAB1, 0x7975, "﨑 as 0xED95"},
      {0xFA40, 0x7C71, "small roman one as 0xEEEF"},
      {0xFA4A, 0x2D35, "Roman numeral one as NEC row 13 0x8754"},
      {0xFA59, 0x2D62, "numero sign as NEC row 13 0x8782"},
      {0xFA54, 0x224C, "not sign as JIS X 0208 0x81CA"},
      {0xFA5B, 0x2268, "because as JIS X 0208 0x81E6"},
      {0xFC4B, 0x7C6E, "last IBM extension as 0xEEEC"},
  };
  for (const auto& c : kCases) EXPECT_EQ(InKanji(Pair(c.jis)), Convert(Pair(c.sjis))) << c.what;
  // 山﨑 in a sentence: one run, 7-bit throughout.
  EXPECT_EQ("Mr. " + InKanji("\x3B\x33\x79\x75") + "\r\n", Convert("Mr. \x8E\x52\xFA\xB1\r\n"));
}

TEST(IbmExtensionTest, OtherCodesAreLeftToTheArithmetic) {
  for (unsigned code :
       {0xF040u, 0xF9FCu, 0xFA3Fu, 0xFA7Fu, 0xFAFDu, 0xFC4Cu, 0xFCFCu, 0x8140u, 0xED40u, 0x8754u}) {
    EXPECT_EQ(code, IbmExtensionDuplicate(static_cast<std::uint16_t>(code))) << std::hex << code;
  }
}

#ifndef _WIN32
// glibc's code page 932 table, which Python's did not feed, agrees that each
// pair is one character.
TEST(IbmExtensionTest, IconvDecodesEachCodeAndItsDuplicateAlike) {
  auto converter = testing::ReferenceConverter::Open("UTF-32LE", "CP932");
  ASSERT_NE(nullptr, converter);
  auto decode = [&converter](unsigned code) {
    const char in[2] = {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
    const auto out = converter->Convert(std::string(in, 2));
    if (!out || out->size() < 3) return -1L;
    return static_cast<long>(static_cast<unsigned char>((*out)[0]) |
                             static_cast<unsigned char>((*out)[1]) << 8 |
                             static_cast<unsigned char>((*out)[2]) << 16);
  };
  int checked = 0;
  for (unsigned lead = 0xFA; lead <= 0xFC; ++lead) {
    for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
      const unsigned code = lead << 8 | trail;
      const unsigned twin = IbmExtensionDuplicate(static_cast<std::uint16_t>(code));
      if (twin == code) continue;
      const long unicode = decode(code);
      EXPECT_NE(-1L, unicode) << std::hex << code;
      EXPECT_EQ(unicode, decode(twin)) << std::hex << code << " " << twin;
      ++checked;
    }
  }
  EXPECT_EQ(kIbmExtensionCount, checked);
}
#endif

}  // namespace
}  // namespace tarnlet
