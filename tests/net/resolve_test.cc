// Server names into dotted text: literals, lookups and the lookup-error
// table.
#include <regex>
#include <string>
#include <vector>

#include "net/resolve.h"
#include "net_fixture.h"

namespace tarnlet {
namespace testing {
namespace {

class ResolveTest : public NetTest {
 protected:
  // What ResolveServer makes of text: the dotted text, or the code.
  std::string Resolved(const char* text, ServerRole role) {
    char out[kDottedCapacity];
    const ResultCode code = ResolveServer(sender_, text, role, out);
    return code == 0 ? std::string(out) : "code " + std::to_string(code);
  }
};

// ﾎｽﾄ名が見つからない-004 / -010
const char kNotFoundSmtp[] =
    "\xce\xbd\xc4\x96\xbc\x82\xaa\x8c\xa9\x82\xc2\x82\xa9\x82\xe7\x82\xc8\x82\xa2-004";
const char kNotFoundPop[] =
    "\xce\xbd\xc4\x96\xbc\x82\xaa\x8c\xa9\x82\xc2\x82\xa9\x82\xe7\x82\xc8\x82\xa2-010";

TEST_F(ResolveTest, LiteralCharacterSet) {
  struct Row {
    const char* name;
    bool literal;
  };
  for (const Row& row :
       {Row{"", true}, Row{"192.168.0.1", true}, Row{" 10 5. .1 ", true}, Row{"...", true},
        Row{"192.168.0.1a", false}, Row{"mail-1.example", false}, Row{"127.0.0.1\t", false},
        Row{"+1.2.3.4", false}, Row{"localhost", false}}) {
    EXPECT_EQ(sender_.IsDottedLiteral(row.name), row.literal) << '"' << row.name << '"';
  }
}

TEST_F(ResolveTest, NormalizedLiterals) {
  struct Row {
    std::string name;
    std::string dotted;
  };
  const std::vector<Row> rows = {
      {"192.168.001.010", "192.168.1.10"},
      {"192. 168.0.1 ", "192.168.0.1"},
      {" 127.0.0.1", "127.0.0.1"},
      {"10 5.0.0.1", "10.0.0.1"},
      {"1..2", "1.0.2"},
      {"300.1.1.1", "300.1.1.1"},
      {"1.2.3.4.5", "1.2.3.4.5"},
      {"", "0"},
      {".", "0.0"},
      {" . ", "0.0"},
      {"000000000000000000000127.0.0.1", "127.0.0.1"},  // a piece of 24 characters
      {"2147483647.2147483648.99999999999999999999.1", "2147483647.2147483647.2147483647.1"},
  };
  for (const Row& row : rows) {
    char out[kDottedCapacity];
    sender_.NormalizeDotted(row.name.c_str(), out, sizeof out);
    EXPECT_EQ(std::string(out), row.dotted) << '"' << row.name << '"';
  }
}

TEST_F(ResolveTest, NormalizedTextStaysWithinItsCapacity) {
  // The longest result a 255-byte name can have: 256 pieces of "0".
  const std::string dots(255, '.');
  std::string expected = "0";
  for (int i = 0; i < 255; ++i) expected += ".0";
  std::string buffer(kDottedCapacity + 16, '#');
  sender_.NormalizeDotted(dots.c_str(), &buffer[0], kDottedCapacity);
  EXPECT_EQ(std::string(buffer.c_str()), expected);
  EXPECT_EQ(buffer.substr(kDottedCapacity), std::string(16, '#'));

  std::string small(12, '#');
  sender_.NormalizeDotted("10.20.30.40", &small[0], 6);
  EXPECT_EQ(std::string(small.c_str()), "10.20");
  EXPECT_EQ(small.substr(6), "######");
}

TEST_F(ResolveTest, LiteralIsNormalizedWithoutALookup) {
  EXPECT_EQ(Resolved("127.000.000.001", ServerRole::kSmtp), "127.0.0.1");
  EXPECT_EQ(Resolved("300.1.1.1", ServerRole::kPop3), "300.1.1.1");
  EXPECT_EQ(platform_.Count(Call::kResolve), 0);
  EXPECT_EQ(Log(), "");
}

TEST_F(ResolveTest, NameIsLookedUp) {
  platform_.ResolveNth(1, LookupResult::kOk, "127.0.0.5");
  platform_.ResolveNth(2, LookupResult::kOk, "127.0.0.6");
  EXPECT_EQ(Resolved("mail.example", ServerRole::kSmtp), "127.0.0.5");
  // A stray letter makes dotted text a name.
  EXPECT_EQ(Resolved("192.168.0.1a", ServerRole::kPop3), "127.0.0.6");
  EXPECT_EQ(platform_.Count(Call::kResolve), 2);
  EXPECT_EQ(Log(), "");
}

// Which line and code each lookup failure gives; the lines' whole bytes
// are checked where a name is not found, and on the result-codes page.
TEST_F(ResolveTest, LookupErrorTable) {
  const struct {
    LookupResult result;
    ResultCode smtpCode;
    const char* smtpNumber;
    ResultCode popCode;
    const char* popNumber;
  } rows[] = {
      {LookupResult::kHostNotFound, -15, "-004", -20, "-010"},
      {LookupResult::kTryAgain, -16, "-005", -21, "-011"},
      {LookupResult::kNoRecovery, -17, "-006", -22, "-012"},
      {LookupResult::kNoData, -18, "-007", -23, "-013"},
      {LookupResult::kOther, -19, "-008", -24, "-014"},
  };
  for (const auto& row : rows) {
    ClearLog();
    platform_.ResolveNth(1, row.result, "", 11999);
    platform_.ResolveNth(2, row.result, "", 11999);
    EXPECT_EQ(Resolved("mail.example", ServerRole::kSmtp), "code " + std::to_string(row.smtpCode));
    EXPECT_EQ(Resolved("pop.example", ServerRole::kPop3), "code " + std::to_string(row.popCode));
    // The messages carry no line end of their own: each stored line ends
    // in the one CR LF of the log.
    const std::string line = std::string(kPinnedStamp) + "[^\r\n]+";
    EXPECT_TRUE(std::regex_match(
        Log(), std::regex(line + row.smtpNumber + "\r\n" + line + row.popNumber + "\r\n")))
        << Log();
  }
}

// The reserved top-level domain never resolves; asked of the system's own
// resolver.
TEST_F(ResolveTest, InvalidNameIsNotFound) {
  EXPECT_EQ(Resolved("nonexistent.invalid", ServerRole::kSmtp), "code -15");
  EXPECT_EQ(Resolved("nonexistent.invalid", ServerRole::kPop3), "code -20");
  EXPECT_EQ(Log(), StoredLogLine(kNotFoundSmtp) + StoredLogLine(kNotFoundPop));
}

}  // namespace
}  // namespace testing
}  // namespace tarnlet
