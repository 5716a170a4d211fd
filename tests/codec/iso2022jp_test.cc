#include "codec/iso2022jp.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "convert_helper.h"

namespace tarnlet {
namespace {

using testing::Convert;
using testing::InKanji;
using testing::kToAscii;
using testing::kToKanji;

const std::string kGeta = "\x22\x2E";

std::string Times(int n, const std::string& text) {
  std::string out;
  for (int i = 0; i < n; ++i) out += text;
  return out;
}

TEST(SjisToIso2022JpTest, EdgeCases) {
  const struct {
    const char* what;
    std::string in;
    std::string out;
  } kCases[] = {
      {"empty", "", ""},
      {"plain ASCII unchanged", "Hello, world!\r\n\tx", "Hello, world!\r\n\tx"},
      {"漢字", "\x8A\xBF\x8E\x9A", InKanji("\x34\x41\x3B\x7A")},
      {"abc漢字def",
       "abc\x8A\xBF\x8E\x9A"
       "def",
       "abc" + InKanji("\x34\x41\x3B\x7A") + "def"},
      {"kanji before CR LF", "\x8A\xBF\r\n", InKanji("\x34\x41") + "\r\n"},
      {"ｶﾞ one character", "\xB6\xDE", InKanji("\x25\x2C")},
      {"ﾊﾟ one character", "\xCA\xDF", InKanji("\x25\x51")},
      {"ｳﾞ gives ヴ", "\xB3\xDE", InKanji("\x25\x74")},
      {"ｱﾞ stays two", "\xB1\xDE", InKanji("\x25\x22\x21\x2B")},
      {"ﾜﾞ stays two", "\xDC\xDE", InKanji("\x25\x6F\x21\x2B")},
      {"ｦﾞ stays two", "\xA6\xDE", InKanji("\x25\x72\x21\x2B")},
      {"ｶﾟ stays two", "\xB6\xDF", InKanji("\x25\x2B\x21\x2C")},
      {"ﾞ at the start", "\xDE", InKanji("\x21\x2B")},
      {"ﾟ after a single byte", "a\xDF", "a" + InKanji("\x21\x2C")},
      {"ﾊﾞﾟ: the second mark stands alone", "\xCA\xDE\xDF", InKanji("\x25\x50\x21\x2C")},
      {"lone ｱ", "\xB1", InKanji("\x25\x22")},
      {"0xA0 ideographic space", "\xA0", InKanji("\x21\x21")},
      {"kanji and katakana share one run", "\x8A\xBF\xB1\x8E\x9A",
       InKanji("\x34\x41\x25\x22\x3B\x7A")},
      // What has no ISO-2022-JP form becomes the geta mark 〓 (0x222E).
      {"0x80 and 0xFD-0xFF", "a\x80\xFD\xFE\xFFz", "a" + InKanji(Times(4, kGeta)) + "z"},
      {"0x80 in kanji mode", "\x8A\xBF\x80", InKanji("\x34\x41" + kGeta)},
      {"0xFF between katakana", "\xB1\xFF\xB1", InKanji("\x25\x22" + kGeta + "\x25\x22")},
      {"ESC passes as a single byte", "\x1b(J\x8A\xBF", "\x1b(J" + InKanji("\x34\x41")},
      {"user-defined 0xF040", "\xF0\x40", InKanji(kGeta)},
      {"user-defined 0xF9FC", "\xF9\xFC", InKanji(kGeta)},
      {"unassigned 0xFCFC", "\xFC\xFC", InKanji(kGeta)},
      {"lead byte before CR LF keeps the line", "abc\x82\r\nxyz",
       "abc" + InKanji(kGeta) + "\r\nxyz"},
      {"lead byte before 0x1F keeps the text after it", "ab\x81\x1FMARK",
       "ab" + InKanji(kGeta) + "\x1FMARK"},
      {"lead byte before '/'", "\x81/x", InKanji(kGeta) + "/x"},
      {"lead byte before 0x7F", "\x81\x7F", InKanji(kGeta) + "\x7F"},
      {"lead byte before 0xFD", "\x81\xFD", InKanji(kGeta + kGeta)},
      {"lead byte takes a lead byte as trail", "\x82\x82\xA0", InKanji("\x23\x62\x21\x21")},
      {"lead byte before the terminator", "\x82", InKanji(kGeta)},
      {"lead byte before the terminator after ASCII", "ab\x82", "ab" + InKanji(kGeta)},
      {"lead byte before the terminator in kanji mode", "\x8A\xBF\x82",
       InKanji("\x34\x41" + kGeta)},
  };
  for (const auto& c : kCases) EXPECT_EQ(c.out, Convert(c.in)) << c.what;
}

TEST(SjisToIso2022JpTest, LoneKatakanaIsNineBytes) {
  std::size_t written = 0;
  EXPECT_EQ("\x1b$B\x25\x22\x1b(B", Convert("\xB1", &written));
  EXPECT_EQ(9u, written);
  Convert("", &written);
  EXPECT_EQ(1u, written);
}

std::size_t Bound(std::size_t n) {
  if (n == 0) return 1;
  return n % 2 == 1 ? (9 * n + 9) / 2 : (9 * n + 4) / 2;
}

// Katakana and single bytes in turn cost an escape each; ending with two
// katakana in a row is the worst case for an even length.
std::string WorstCase(std::size_t n) {
  std::string s;
  for (std::size_t i = 0; i < n; ++i) s += (i % 2 == 0) ? '\xB1' : 'a';
  if (n % 2 == 0 && n > 0) s.back() = '\xB1';
  return s;
}

TEST(SjisToIso2022JpTest, WorstCaseReachesTheBoundAndStaysWithinCapacity) {
  for (std::size_t n = 1; n <= 64; ++n) {
    std::size_t written = 0;
    Convert(WorstCase(n), &written);  // the helper checks the capacity guard
    EXPECT_EQ(Bound(n), written) << n;
    EXPECT_LE(written, Iso2022JpCapacity(n)) << n;
  }
}

// Every ESC the converter writes alternates ESC $ B, ESC ( B, and the last
// one returns to ASCII.
void ExpectBalancedEscapes(const std::string& out, const std::string& in) {
  std::size_t pos = 0;
  bool kanji = false;
  while ((pos = out.find('\x1b', pos)) != std::string::npos) {
    const std::string escape = out.substr(pos, 3);
    EXPECT_EQ(kanji ? kToAscii : kToKanji, escape) << "at " << pos << " for " << in.size();
    kanji = !kanji;
    pos += 3;
  }
  EXPECT_FALSE(kanji) << "ends in kanji mode";
}

// Random text of every class: single bytes (no ESC, which would pass through
// and confuse the check), pairs with any well-formed trail byte, katakana,
// sound marks, and a lead byte cut off by the terminator.
std::string RandomText(std::mt19937& random, std::size_t n) {
  std::string in;
  while (in.size() < n) {
    switch (random() % 4) {
      case 0: {
        const char c = static_cast<char>(1 + random() % 0x80);
        if (c != '\x1b') in += c;
        break;
      }
      case 1: {
        const unsigned lead = 0x81 + random() % 60;
        const unsigned trail = 0x40 + random() % 189;
        if (trail == 0x7F) break;
        in += static_cast<char>(lead < 0xA0 ? lead : lead + 0x40);
        in += static_cast<char>(trail);
        break;
      }
      case 2:
        in += static_cast<char>(0xA0 + random() % 0x40);
        break;
      default:
        in += "\x80\xFD\xFE\xFF\xDE\xDF"[random() % 6];
    }
  }
  if (random() % 8 == 0) in += '\x88';
  return in;
}

TEST(SjisToIso2022JpTest, RandomTextStaysWithinBoundAndEndsInAscii) {
  std::mt19937 random(1468);
  for (int round = 0; round < 3000; ++round) {
    const std::string in = RandomText(random, random() % 65);
    std::size_t written = 0;
    const std::string out = Convert(in, &written);
    EXPECT_LE(written, Bound(in.size()));
    ExpectBalancedEscapes(out, in);
  }
}

TEST(SjisPairToJisTest, UsesOnlyTheLowEightBits) {
  std::int32_t first = 0x7FFFFF00 | 0x8A, second = -256 + 0xBF;
  SjisPairToJis(&first, &second);
  EXPECT_EQ(0x34, first);
  EXPECT_EQ(0x41, second);
}

}  // namespace
}  // namespace tarnlet
