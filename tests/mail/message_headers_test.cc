// The Date line with the machine's real zone, and the random number of the
// Message-Id.
#include "mail/message_headers.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "support/fault_platform.h"
#include "support/platform_test.h"

namespace tarnlet {
namespace {

TEST(DateLineTest, NamesNoLeadingZeroOnTheDayAndTheRealZone) {
  struct Row {
    LocalTime time;
    const char* line;
  } rows[] = {
      {testing::kPinnedTime, "Date: Thu, 5 Mar 2026 09:07:03 +0900\r\n"},
      {{2026, 1, 0, 4, 0, 0, 0, 0}, "Date: Sun, 4 Jan 2026 00:00:00 +0000\r\n"},
      {{2025, 12, 6, 27, 23, 59, 59, -300}, "Date: Sat, 27 Dec 2025 23:59:59 -0500\r\n"},
      {{2026, 7, 1, 13, 12, 30, 5, 330}, "Date: Mon, 13 Jul 2026 12:30:05 +0530\r\n"},
      {{2026, 2, 2, 10, 8, 1, 9, -210}, "Date: Tue, 10 Feb 2026 08:01:09 -0330\r\n"},
      {{2026, 9, 3, 30, 1, 2, 3, 840}, "Date: Wed, 30 Sep 2026 01:02:03 +1400\r\n"},
  };
  for (const Row& row : rows) {
    char out[128];
    EXPECT_EQ(FormatDateLine(row.time, out, sizeof out), std::string(row.line).size());
    EXPECT_EQ(std::string(out), row.line);
  }
}

std::vector<int> Draw(int n) {
  std::vector<int> values;
  for (int i = 0; i < n; ++i) values.push_back(g_messageIdNumbers.Next());
  return values;
}

TEST(MessageIdNumberTest, SeededOnceFromEntropyAndFifteenBitsWide) {
  testing::FaultPlatform platform;
  testing::ScopedPlatform installed(platform);
  testing::ReseedMessageId();
  EXPECT_EQ(platform.Count(testing::Call::kEntropySeed), 0);  // nothing drawn before the first use

  platform.PinSeed(12345u);
  const std::vector<int> first = Draw(2000);
  EXPECT_EQ(platform.Count(testing::Call::kEntropySeed), 1);
  std::set<int> distinct(first.begin(), first.end());
  EXPECT_GT(distinct.size(), 1500u);
  for (int value : first) {
    EXPECT_GE(value, 0);
    EXPECT_LE(value, 32767);
  }

  testing::ReseedMessageId();
  EXPECT_EQ(Draw(2000), first);  // the same seed, the same numbers
  testing::ReseedMessageId();
  platform.PinSeed(67890u);
  EXPECT_NE(Draw(2000), first);  // another seed, other numbers
  EXPECT_EQ(platform.Count(testing::Call::kEntropySeed), 3);
}

}  // namespace
}  // namespace tarnlet
