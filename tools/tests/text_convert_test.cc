// Typed text into Shift-JIS, and Shift-JIS log text back for the terminal.
#include "text_convert.h"

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "log_watch.h"
#include "system/tool_support.h"
#include "tool_error.h"

namespace tarnlet {
namespace tool {
namespace {

using ::testing::HasSubstr;

// One row of the Unicode-to-Shift-JIS table that the bindings' tests read too.
struct MappingRow {
  std::string utf8;
  std::string sjis;
  bool refused = false;
  std::string why;
};

std::string Utf8Of(char32_t c) {
  std::string out;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
  return out;
}

std::vector<MappingRow> SharedMappingTable() {
  std::ifstream file(TARNLET_SOURCE_DIR "/bindings/tests/shift_jis.tsv");
  std::vector<MappingRow> rows;
  std::string line;
  while (std::getline(file, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string points, bytes;
    MappingRow row;
    std::getline(fields, points, '\t');
    std::getline(fields, bytes, '\t');
    std::getline(fields, row.why);
    std::istringstream each(points);
    std::string point;
    while (each >> point) row.utf8 += Utf8Of(static_cast<char32_t>(std::stoul(point, nullptr, 16)));
    row.refused = bytes == "-";
    for (std::size_t i = 0; !row.refused && i + 1 < bytes.size(); i += 2) {
      row.sjis += static_cast<char>(std::stoi(bytes.substr(i, 2), nullptr, 16));
    }
    rows.push_back(row);
  }
  return rows;
}

TEST(ToShiftJis, FollowsTheTableTheBindingsShare) {
  std::vector<MappingRow> rows = SharedMappingTable();
  ASSERT_GE(rows.size(), 30u) << "bindings/tests/shift_jis.tsv";
  for (const MappingRow& row : rows) {
    if (!row.refused) {
      EXPECT_EQ(ToShiftJis(row.utf8, "UTF-8", "--subject"), row.sjis) << row.why;
      continue;
    }
    try {
      ToShiftJis(row.utf8, "UTF-8", "--subject");
      ADD_FAILURE() << row.why << ": accepted";
    } catch (const ToolError& e) {
      EXPECT_EQ(e.exitStatus(), kExitData) << row.why;
      EXPECT_THAT(e.what(), HasSubstr("--subject, column 1: U+")) << row.why;
    }
  }
}

struct Accepted {
  std::string utf8;
  std::string sjis;
  const char* why;
};

TEST(ToShiftJis, PassesLineEndsAndDropsAByteOrderMark) {
  const Accepted cases[] = {
      {"abc\r\ndef\n", "abc\r\ndef\n", "ASCII and line ends pass unchanged"},
      {"\xef\xbb\xbf"
       "あ",
       "\x82\xa0", "a leading byte-order mark is dropped"},
      {"", "", "empty"},
  };
  for (const Accepted& c : cases) {
    EXPECT_EQ(ToShiftJis(c.utf8, "UTF-8", "--subject"), c.sjis) << c.why;
  }
}

struct Refused {
  std::string text;
  std::string where;    // the location part of the message
  std::string problem;  // the part after the character
  const char* why;
};

TEST(ToShiftJis, RefusesAndLocatesWhatItCannotConvert) {
  const Refused cases[] = {
      {"café", "--subject, column 4: U+00E9", " has no Shift-JIS (code page 932) form",
       "a Latin letter outside code page 932"},
      {"a😀", "--subject, column 2: U+1F600", " has no Shift-JIS (code page 932) form",
       "a character outside the Basic Multilingual Plane"},
      {"¥100", "--subject, column 1: U+00A5", " has one", "the yen sign would become a backslash"},
      {"一行目\n二行目\nさんé", "--subject, line 3, column 3: U+00E9",
       " has no Shift-JIS (code page 932) form", "line and column of a multi-line text"},
      {"ab\xff", "--subject, column 3: byte 0xFF is not valid UTF-8 text", "",
       "a byte that is no UTF-8"},
      {"x\n\xe3\x81", "--subject, line 2, column 1: byte 0xE3 is not valid UTF-8 text", "",
       "a character cut short at the end"},
      {std::string("a\0b", 3), "--subject, column 2: a NUL byte", "", "the library stops at NUL"},
  };
  for (const Refused& c : cases) {
    try {
      ToShiftJis(c.text, "UTF-8", "--subject");
      ADD_FAILURE() << c.why << ": accepted";
    } catch (const ToolError& e) {
      EXPECT_EQ(e.exitStatus(), kExitData) << c.why;
      std::string message = e.what();
      EXPECT_EQ(message.rfind(c.where, 0), 0u) << c.why << ": " << message;
      EXPECT_THAT(message, HasSubstr(c.problem)) << c.why;
    }
  }
}

TEST(ToShiftJis, SuggestsTheFullWidthYen) {
  try {
    ToShiftJis("¥", "UTF-8", "--subject");
    FAIL() << "accepted";
  } catch (const ToolError& e) {
    EXPECT_THAT(e.what(), HasSubstr("the full-width U+FFE5"));
  }
}

TEST(ToShiftJis, ShowsTheCharacterOnAUtf8Terminal) {
  if (TerminalEncoding() != "UTF-8") GTEST_SKIP() << "terminal is " << TerminalEncoding();
  try {
    ToShiftJis("café", "UTF-8", "--subject");
    FAIL() << "accepted";
  } catch (const ToolError& e) {
    EXPECT_STREQ(e.what(),
                 "--subject, column 4: U+00E9 \"é\" has no Shift-JIS (code page 932) form");
  }
}

TEST(ToShiftJis, ShiftJisPassesThroughUnchecked) {
  const std::string bytes = "\x82\xa0\xff\x80 abc";
  for (const char* name : {"sjis", "SJIS", "cp932", "Shift_JIS", "windows-31j"}) {
    EXPECT_EQ(ToShiftJis(bytes, name, "the body"), bytes) << name;
  }
  EXPECT_THROW(ToShiftJis(std::string("\x82\xa0\0", 3), "sjis", "the body"), ToolError);
}

TEST(ToShiftJis, ReadsOtherEncodingsTheSystemKnows) {
  // あ in EUC-JP.
  EXPECT_EQ(ToShiftJis("\xa4\xa2", "EUC-JP", "the body"), "\x82\xa0");
  try {
    ToShiftJis("x", "no-such-encoding", "the body");
    FAIL() << "accepted";
  } catch (const ToolError& e) {
    EXPECT_EQ(e.exitStatus(), kExitUsage);
  }
}

TEST(SplitLogText, DropsLineEndsAndTheEmptyLinesOfCrLfMessages) {
  const std::string log =
      "2026/03/05 09:07:03  SMTP SND : Connect Ng ErrCode=111-050\r\r\n\r\n"
      "2026/03/05 09:07:03  1-097\r\n\r\n"
      "2026/03/05 09:07:04  WSAStartup Miss-002\r\n";
  std::vector<std::string> expected = {
      "2026/03/05 09:07:03  SMTP SND : Connect Ng ErrCode=111-050",
      "2026/03/05 09:07:03  1-097",
      "2026/03/05 09:07:04  WSAStartup Miss-002",
  };
  EXPECT_EQ(SplitLogText(log), expected);
}

TEST(ForTerminal, ShowsJapaneseMessagesAndEscapesStrayBytes) {
  // 初期化ﾌｧｲﾙﾃﾞｰﾀ異常-001
  const std::string message =
      "\x8f\x89\x8a\xfa\x89\xbb\xcc\xa7\xb2\xd9\xc3\xde\xb0\xc0\x88\xd9\x8f\xed-001";
  EXPECT_EQ(ForTerminal(message, "CP932", "UTF-8"), "初期化ﾌｧｲﾙﾃﾞｰﾀ異常-001");
  EXPECT_EQ(ForTerminal("a\x82 b\x82\xa0", "CP932", "UTF-8"), "a\\x82 bあ")
      << "a lead byte before a byte that cannot trail it";
  // A terminal without Japanese shows what it can.
  EXPECT_EQ(ForTerminal("x\x82\xa0-001", "CP932", "CP1252"), "x?-001");
}

}  // namespace
}  // namespace tool
}  // namespace tarnlet
