// The subcommands run as a shell runs them: arguments in, exit status and
// output out, the library called for real against loopback peers.
#include "commands.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "frame/outcomes.h"
#include "record_fields.h"
#include "result_codes.h"
#include "support/code_page.h"
#include "support/fault_platform.h"
#include "support/scripted_peer.h"
#include "support/test_files.h"
#include "system/tool_support.h"
#include "text_convert.h"
#include "tool_error.h"

namespace tarnlet {
namespace tool {
namespace {

using ::tarnlet::testing::ClosedPort;
using ::tarnlet::testing::ExpectLine;
using ::tarnlet::testing::FaultPlatform;
using ::tarnlet::testing::ReadFileBytes;
using ::tarnlet::testing::ScopedPlatform;
using ::tarnlet::testing::ScriptedPeer;
using ::tarnlet::testing::Send;
using ::tarnlet::testing::SmtpServer;
using ::tarnlet::testing::TempDir;
using ::tarnlet::testing::WriteFileBytes;
using ::tarnlet::testing::WritePrivateFile;
using ::testing::AllOf;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

Outcome Tarnlet(const std::vector<std::string>& arguments, const std::string& input = "") {
  std::istringstream in(input);
  std::ostringstream out;
  std::ostringstream err;
  int status = RunTool(arguments, in, out, err);
  return {status, out.str(), err.str()};
}

bool Utf8Terminal() { return TerminalEncoding() == "UTF-8"; }

// "2026/03/05 09:07:03  " before a log message, as the tool shows it.
const char kStamp[] = "  \\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d  ";

bool HasLogLine(const std::string& text, const std::string& messagePattern) {
  return std::regex_search(text,
                           std::regex(std::string("(^|\n)") + kStamp + messagePattern + "\n"));
}

// The numbers that begin the lines of text that match row, in order.
std::vector<std::string> Numbers(const std::string& text, const char* row) {
  std::vector<std::string> numbers;
  const std::regex pattern(row);
  for (auto it = std::sregex_iterator(text.begin(), text.end(), pattern);
       it != std::sregex_iterator(); ++it) {
    numbers.push_back((*it)[1]);
  }
  return numbers;
}

// Every code of the result-codes page, in its order, and a few lines as a
// reader sees them.
TEST(Codes, ListsTheCodesOfTheResultCodesPage) {
  Outcome run = Tarnlet({"codes"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  const std::string page = ReadFileBytes(TARNLET_SOURCE_DIR "/docs/result-codes.md");
  const std::size_t table = page.find("| Code | Meaning |\n");
  ASSERT_NE(table, std::string::npos);
  const std::vector<std::string> pageCodes =
      Numbers(page.substr(table, page.find("\n\n", table) - table), "\n\\| (-?\\d+) \\|");
  EXPECT_EQ(Numbers(run.out, "\n *(-?\\d+)  "), pageCodes);
  EXPECT_EQ(pageCodes.size(), kResultCodeCount);
  EXPECT_THAT(run.out,
              StartsWith("code  meaning\n"
                         "   0  message accepted by the server (250 after the end of data)\n"
                         "  -1  creating the SMTP socket failed\n"));
  EXPECT_THAT(run.out, HasSubstr("\n -30  the settings failed validation\n"));
  EXPECT_THAT(run.out, EndsWith("\ntarnlet send exits with the code's absolute value; 64 usage, 65 "
                                "a text or value that cannot go into the record, 66 an unreadable "
                                "input file.\n"));
  EXPECT_STREQ(MeaningOf(-10), "not a result code of this library");
}

// The page's code table as the outcome list has it, and each log line with
// its number, its text as the page shows it and its code if it has one.
TEST(Codes, AreTheTablesOfTheResultCodesPage) {
  const std::string page = ReadFileBytes(TARNLET_SOURCE_DIR "/docs/result-codes.md");
  std::string table = "| Code | Meaning |\n|---:|---|\n";
  for (std::size_t i = 0; i < kResultCodeCount; ++i) {
    table += "| " + std::to_string(kResultCodes[i].code) + " | " + kResultCodes[i].page + " |\n";
  }
  EXPECT_THAT(page, HasSubstr(table + "\n")) << "expected table:\n" << table;
  for (const LogLineInfo& line : kLogLines) {
    const std::string text = std::regex_replace(
        std::regex_replace(ForTerminal(line.text, "CP932", "UTF-8"), std::regex("\r"), "\\r"),
        std::regex("\n"), "\\n");
    const std::string number = std::to_string(1000 + line.number).substr(1);
    const std::size_t at = page.find("\n| " + number + " | `" + text + "`");
    ASSERT_NE(at, std::string::npos) << number << " " << text;
    const std::string row = page.substr(at, page.find('\n', at + 1) - at);
    const std::string code = "| " + std::to_string(line.code) + " |";
    EXPECT_THAT(row, EndsWith(line.code == codes::kByCaller ? " |" : code));
  }
  // No row for a line the library does not write, but the one it says so of.
  const std::regex row("\n\\| \\d{3} \\| `[^\n]*");
  const auto rows = std::distance(std::sregex_iterator(page.begin(), page.end(), row), {});
  EXPECT_EQ(static_cast<std::size_t>(rows), kLogLineCount + 1);
  EXPECT_THAT(page, HasSubstr("-019\\r\\n` | not written by this library"));
}

struct UsageCase {
  std::vector<std::string> arguments;
  const char* fragment;
};

TEST(Usage, WrongCommandLinesExit64) {
  const UsageCase cases[] = {
      {{}, "A subcommand is required"},
      {{"send"}, "send needs --server and --from"},
      {{"send", "--ini", "x.ini", "--server", "h"}, "excludes"},
      {{"send", "--server", "h", "--from", "f", "--auth", "plain"}, "plain"},
      {{"send", "--server", "h", "--from", "f", "--port", "70000"}, "70000"},
      {{"send", "--server", "h", "--from", "f", "--to", "t", "--encoding", "klingon"}, "klingon"},
      {{"check"}, "--ini is required"},
      {{"send", "--server", "h", "--from", "f", "--body", "b", "--empty-body"}, "excludes"},
      {{"send", "--server", "h", "--from", "f", "--trace=loud"}, "loud"},
      {{"oauth"}, "A subcommand is required"},
      {{"oauth", "add", "p", "--client-id", "c"}, "needs --client-secret-file"},
      {{"oauth", "add", "p", "--provider", "microsoft365", "--client-id", "c",
        "--client-secret-file", "-"},
       "needs --tenant"},
      {{"oauth", "add", "p", "--server", "s", "--user", "u", "--token-url", "http://t",
        "--client-id", "c", "--client-secret-file", "-"},
       "https://"},
      {{"oauth", "login", "p", "--server", "s", "--user", "u", "--token-url", "https://t",
        "--client-id", "c"},
       "--device-url or --authorize-url"},
      {{"oauth", "test", "p", "--port", "25"}, "25"},
  };
  for (const UsageCase& c : cases) {
    Outcome run = Tarnlet(c.arguments);
    EXPECT_EQ(run.status, kExitUsage) << c.fragment;
    EXPECT_THAT(run.err, HasSubstr(c.fragment));
  }
}

// Every field's option is registered, under its name and with its help text.
TEST(Usage, SendHelpShowsEveryFieldOption) {
  Outcome run = Tarnlet({"send", "--help"});
  EXPECT_EQ(run.status, 0);
  for (const RecordField& field : kRecordFields) {
    if (*field.option == '\0') continue;
    EXPECT_THAT(run.out, HasSubstr(std::string("  ") + field.option + " ")) << field.name;
    EXPECT_THAT(run.out, HasSubstr(field.help)) << field.name;
  }
}

// A profile for the server and user stands in for the password only where
// the library uses it: --auth login on 465 or 587.
TEST(Usage, AuthWithoutAPasswordSourceIsRefused) {
  std::string ignored;
  if (ReadEnvironment("TARNLET_PASSWORD", &ignored)) GTEST_SKIP() << "TARNLET_PASSWORD is set";
  TempDir dir;
  WritePrivateFile(
      dir.File("oauth.ini"),
      "[p]\nServer=127.0.0.1\nUser=u\nTokenUrl=https://t\nClientId=c\nClientSecret=s\n");
  FaultPlatform platform;
  platform.SetEnvironment("TARNLET_OAUTH_FILE", dir.File("oauth.ini"));
  ScopedPlatform installed(platform);
  for (const char* auth : {"pop", "login"}) {
    Outcome run = Tarnlet({"send", "--server", "127.0.0.1", "--port", "25", "--from", "f@x", "--to",
                           "t@x", "--auth", auth, "--user", "u"});
    EXPECT_EQ(run.status, kExitUsage) << auth;
    EXPECT_EQ(run.err, std::string("tarnlet: --auth ") + auth +
                           " needs a password: --password-file FILE or the "
                           "TARNLET_PASSWORD environment variable\n");
  }
}

TEST(Check, PrintsEveryFieldAsLoadedWithThePasswordHidden) {
  TempDir dir;
  std::string ini = dir.File("mail.ini");
  const std::string attachments = dir.File("a.txt") + ";" + dir.File("b.pdf");
  WriteFileBytes(dir.File("a.txt"), "a");
  WriteFileBytes(dir.File("b.pdf"), "b");
  WriteFileBytes(ini,
                 "[INIT]\nStartup=1\n[AUTH]\nKind=2\nAPOP=1\nUserName=user\nPassword=hunter2\n"
                 "SMTPPortNo=70000\nPOP3PortNo=110\nSMTPServerAddress=smtp.example.jp\n"
                 "POP3ServerAddress=pop.example.jp\n[SEND]\nAddress=a@example.jp;b@example.jp\n"
                 "Cc=\nBcc=c@example.jp\nSubject=Hello\nsReply_To=r@example.jp\n[ETC]\n"
                 "Boundary=bnd\nX_MailerName=mailer\nMyHostFQDNName=client.example.jp\n"
                 "MyMailAddress=me@example.jp\nMyMailAddressComt=Me\n[FILE]\n"
                 "AppendFile=" +
                     attachments + "\nLog=mail.log\n");
  Outcome run = Tarnlet({"check", "--ini", ini});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  const std::string fields =
      "[INIT]\n"
      "  Startup           = 1\n"
      "[AUTH]\n"
      "  Kind              = 2  (POP before SMTP)\n"
      "  APOP              = 1\n"
      "  UserName          = user\n"
      "  Password          = (set, not shown)\n"
      "  SMTPPortNo        = 4464\n"
      "  POP3PortNo        = 110\n"
      "  SMTPServerAddress = smtp.example.jp\n"
      "  POP3ServerAddress = pop.example.jp\n"
      "[SEND]\n"
      "  Address           = a@example.jp;b@example.jp\n"
      "  Cc                = \n"
      "  Bcc               = c@example.jp\n"
      "  Subject           = Hello\n"
      "  sReply_To         = r@example.jp\n"
      "[ETC]\n"
      "  Boundary          = bnd\n"
      "  X_MailerName      = mailer\n"
      "  MyHostFQDNName    = client.example.jp\n"
      "  MyMailAddress     = me@example.jp\n"
      "  MyMailAddressComt = Me\n"
      "[FILE]\n"
      "  AppendFile        = " +
      attachments +
      "\n"
      "  Log               = mail.log\n"
      "checks: pass (recipients present, validation passes)\n";
  std::size_t firstLineEnd = run.out.find('\n');
  ASSERT_NE(firstLineEnd, std::string::npos);
  EXPECT_THAT(run.out.substr(0, firstLineEnd), HasSubstr("mail.ini:"));
  EXPECT_EQ(run.out.substr(firstLineEnd + 1), fields);
  EXPECT_THAT(run.out, Not(HasSubstr("hunter2")));
}

struct CheckCase {
  std::string ini;  // {present} and {missing} stand for an attachment's path
  int status;
  std::string verdict;  // the output from "checks:" on, the same paths standing in
};

TEST(Check, ExplainsWhichFieldFailsTheChecks) {
  const std::string server =
      "[AUTH]\nSMTPServerAddress=s\nPOP3ServerAddress=p\n[ETC]\nMyHostFQDNName=h\n"
      "MyMailAddress=m\n";
  const CheckCase cases[] = {
      {server + "[SEND]\nAddress=a\n", 0, "checks: pass (recipients present, validation passes)\n"},
      {server + "[SEND]\nBcc=a\n", 0, "checks: pass (recipients present, validation passes)\n"},
      {server + "[SEND]\nCc=a\n[AUTH]\nKind=9\n", 32,
       "checks: fail; a call returns -32 (" + std::string(MeaningOf(-32)) +
           ")\n  - no recipient: Address (To) and Bcc are both empty\n"},
      {"[AUTH]\nKind=3\nSMTPServerAddress=s\n[SEND]\nAddress=a\n", 30,
       "checks: fail; a call returns -30 (the settings failed validation)\n"
       "  - Kind is 3; it must be 0, 1 or 2\n  - POP3ServerAddress is empty\n"
       "  - MyHostFQDNName is empty\n  - MyMailAddress is empty\n"},
      {"[AUTH]\nKind=-1\nPOP3ServerAddress=p\n[ETC]\nMyHostFQDNName=h\nMyMailAddress=m\n"
       "[SEND]\nAddress=a\n",
       30,
       "checks: fail; a call returns -30 (the settings failed validation)\n"
       "  - Kind is -1; it must be 0, 1 or 2\n  - SMTPServerAddress is empty\n"},
      {server + "MyMailAddressComt=\x80\n[SEND]\nAddress=a\nSubject=ab\x82\n", 65,
       "checks: fail; a call sends these texts garbled, as they are not Shift-JIS\n"
       "  - Subject: not Shift-JIS\n  - MyMailAddressComt: not Shift-JIS\n"},
      {server + "[SEND]\nAddress=a\nSubject=\x82\xa0\xfc\xfc\n[FILE]\nAppendFile=C:\\\x82/x\n", 65,
       "checks: fail; a call sends these texts garbled, as they are not Shift-JIS\n"
       "  - AppendFile: not Shift-JIS\n"},
      {"[SEND]\nAddress=a\nSubject=\xfd\n", 30,
       "checks: fail; a call returns -30 (the settings failed validation)\n"
       "  - SMTPServerAddress is empty\n  - POP3ServerAddress is empty\n"
       "  - MyHostFQDNName is empty\n  - MyMailAddress is empty\n  - Subject: not Shift-JIS\n"},
      // Each attachment is opened as the call opens it: spaces around a
      // path go, those inside it stay.
      {server + "[SEND]\nAddress=a\n[FILE]\nAppendFile= {present} ;{present}\n", 0,
       "checks: pass (recipients present, validation passes)\n"},
      {server + "[SEND]\nAddress=a\n[FILE]\nAppendFile={present}; {missing}\n", 11,
       "checks: fail; a call returns -11 (" + std::string(MeaningOf(-11)) +
           ")\n  - AppendFile: \"{missing}\" cannot be opened (system error 2)\n"},
      {"[SEND]\nAddress=a\n[FILE]\nAppendFile={missing}\n", 30,
       "checks: fail; a call returns -30 (the settings failed validation)\n"
       "  - SMTPServerAddress is empty\n  - POP3ServerAddress is empty\n"
       "  - MyHostFQDNName is empty\n  - MyMailAddress is empty\n"
       "  - AppendFile: \"{missing}\" cannot be opened (system error 2)\n"},
  };
  TempDir dir;
  const std::string present = dir.File("a report.txt");
  WriteFileBytes(present, "a");
  auto paths = [&](std::string text) {
    for (const auto& [mark, path] : {std::pair<std::string, std::string>{"{present}", present},
                                     {"{missing}", dir.File("no such.txt")}}) {
      for (std::size_t at; (at = text.find(mark)) != std::string::npos;) {
        text.replace(at, mark.size(), path);
      }
    }
    return text;
  };
  for (const CheckCase& c : cases) {
    // Windows under code page 932 replaces what is not Shift-JIS as it
    // reads the file, so the command never sees those bytes.
    const bool eightBit =
        c.ini.find_first_of(std::string("\x80\x82\xa0\xfc\xfd")) != std::string::npos;
    if (eightBit && ::tarnlet::testing::AnsiCodePage() == 932) continue;
    std::string ini = dir.File("case.ini");
    WriteFileBytes(ini, paths(c.ini));
    Outcome run = Tarnlet({"check", "--ini", ini});
    EXPECT_EQ(run.status, c.status) << c.ini;
    std::size_t at = run.out.find("checks: ");
    ASSERT_NE(at, std::string::npos) << run.out;
    EXPECT_EQ(run.out.substr(at), paths(c.verdict)) << c.ini;
  }
}

TEST(Check, AMissingFileLoadsAsEmptySettings) {
  TempDir dir;
  Outcome run = Tarnlet({"check", "--ini", dir.File("none.ini")});
  EXPECT_EQ(run.status, 32);
  EXPECT_THAT(run.err, HasSubstr("cannot be read; every setting is empty"));
  EXPECT_THAT(run.out, HasSubstr("  SMTPPortNo        = 0\n"));
}

TEST(Check, ShowsShiftJisValuesInTheTerminalEncoding) {
  if (!Utf8Terminal()) GTEST_SKIP() << "terminal is " << TerminalEncoding();
  TempDir dir;
  std::string ini = dir.File("sjis.ini");
  WriteFileBytes(ini, "[SEND]\nSubject=\x8c\x8f\x96\xbc\x81\x46\xb1\xdd\xb9\xb0\xc4\n");
  Outcome run = Tarnlet({"check", "--ini", ini});
  EXPECT_THAT(run.out, HasSubstr("  Subject           = 件名：ｱﾝｹｰﾄ\n"));

  // UTF-8 where Shift-JIS belongs is named, and shown as it reads (not
  // under code page 932, where Windows rewrites the file's bytes first).
  if (::tarnlet::testing::AnsiCodePage() == 932) return;
  WriteFileBytes(ini,
                 "[SEND]\nAddress=a\nSubject=月次報告\n[AUTH]\nSMTPServerAddress=s\n"
                 "POP3ServerAddress=p\n[ETC]\nMyHostFQDNName=h\nMyMailAddress=m\n");
  std::string body = dir.File("body.txt");
  WriteFileBytes(body, "本文\n");
  Outcome utf8 = Tarnlet({"check", "--ini", ini, "--body", body});
  EXPECT_EQ(utf8.status, kExitData);
  EXPECT_THAT(utf8.out, HasSubstr("  - Subject: not Shift-JIS; it reads as UTF-8: 月次報告\n"
                                  "  - body: not Shift-JIS; it reads as UTF-8: 本文\n"));
}

std::vector<std::string> SendTo(std::uint16_t port, std::vector<std::string> more) {
  std::vector<std::string> arguments = {
      "send", "--server", "127.0.0.1", "--port", std::to_string(port), "--from", "me@example.jp"};
  arguments.insert(arguments.end(), more.begin(), more.end());
  return arguments;
}

TEST(Send, AClosedPortShowsTheCodeAndTheCallsLogLines) {
  Outcome run = Tarnlet(SendTo(ClosedPort(), {"--to", "you@example.jp"}));
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(
      run.err.rfind(
          "tarnlet: result -2: " + std::string(MeaningOf(-2)) + "\nlog lines of this call:\n", 0),
      0u)
      << run.err;
  EXPECT_TRUE(HasLogLine(run.err, "SMTP SND : Connect Ng ErrCode=\\d+-050")) << run.err;
}

TEST(Send, AGivenLogFileKeepsEarlierLinesAndShowsOnlyThisCalls) {
  TempDir dir;
  std::string log = dir.File("mail.log");
  WriteFileBytes(log, "2000/01/01 00:00:00  earlier line-050\r\n");
  Outcome run = Tarnlet(SendTo(ClosedPort(), {"--to", "you@example.jp", "--log", log}));
  EXPECT_EQ(run.status, 2);
  EXPECT_THAT(run.err, HasSubstr("log lines of this call (" + log + "):\n"));
  EXPECT_THAT(run.err, Not(HasSubstr("earlier line")));
  EXPECT_EQ(ReadFileBytes(log).rfind("2000/01/01 00:00:00  earlier line-050\r\n", 0), 0u);
  EXPECT_THAT(ReadFileBytes(log), HasSubstr("Connect Ng ErrCode="));
}

TEST(Send, FailedChecksAreExplainedFieldByField) {
  Outcome noRecipient = Tarnlet(SendTo(ClosedPort(), {}));
  EXPECT_EQ(noRecipient.status, 32);
  EXPECT_EQ(noRecipient.err, "tarnlet: result -32: " + std::string(MeaningOf(-32)) +
                                 "\n  - no recipient: Address (To) and Bcc are both empty\n"
                                 "(the call wrote no log line)\n");

  Outcome invalid = Tarnlet(SendTo(ClosedPort(), {"--to", "you@example.jp", "--host-name", ""}));
  EXPECT_EQ(invalid.status, 30);
  EXPECT_THAT(invalid.err, HasSubstr("tarnlet: result -30: the settings failed validation\n"
                                     "  - MyHostFQDNName is empty\nlog lines of this call:\n"));
  EXPECT_TRUE(HasLogLine(invalid.err, ".*-001")) << invalid.err;
  if (Utf8Terminal()) {
    EXPECT_TRUE(HasLogLine(invalid.err, "初期化ﾌｧｲﾙﾃﾞｰﾀ異常-001"));
  }
}

TEST(Send, RefusesTextItCannotConvertBeforeCallingTheLibrary) {
  TempDir dir;
  std::string body = dir.File("body.txt");
  WriteFileBytes(body, "一行目\n二行目は ü を含む\n");
  Outcome run =
      Tarnlet(SendTo(ClosedPort(), {"--to", "t@x", "--body", body, "--encoding", "UTF-8"}));
  EXPECT_EQ(run.status, kExitData);
  EXPECT_EQ(run.err.rfind("tarnlet: the body (" + body + "), line 2, column 6: U+00FC", 0), 0u)
      << run.err;
  EXPECT_THAT(run.err, Not(HasSubstr("result")));

  Outcome subject =
      Tarnlet(SendTo(ClosedPort(), {"--to", "t@x", "--subject", std::string(300, 'x')}));
  EXPECT_EQ(subject.status, kExitData);
  EXPECT_EQ(subject.err, "tarnlet: --subject: 300 bytes in Shift-JIS; Subject holds at most 255\n");

  Outcome missing = Tarnlet(SendTo(ClosedPort(), {"--to", "t@x", "--body", dir.File("none.txt")}));
  EXPECT_EQ(missing.status, kExitNoInput);
}

TEST(Send, DeliversConvertedTextThroughTheLibrary) {
  ScriptedPeer peer{SmtpServer()};
  Outcome run =
      Tarnlet(SendTo(peer.port(), {"--to", "you@example.jp", "--subject", "テスト", "--from-name",
                                   "送信者", "--body", "-", "--encoding", "UTF-8"}),
              "本文\n");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "sent: the server accepted the message\n");
  EXPECT_THAT(peer.Transcript(),
              AllOf(StartsWith("HELO localhost\r\nMAIL FROM: <me@example.jp>\r\n"
                               "RCPT TO: you@example.jp\r\nDATA\r\n"),
                    HasSubstr("From: \"=?ISO-2022-JP?B?GyRCQXc/LjxUGyhC?=\"<me@example.jp>\r\n"),
                    HasSubstr("Subject: =?ISO-2022-JP?B?GyRCJUYlOSVIGyhC?=\r\n"),
                    HasSubstr("\r\n\r\n\x1b$BK\\J8\x1b(B\r\n"), HasSubstr("\r\n.\r\nQUIT\r\n")));

  // A body taken as Shift-JIS is checked, and sent all the same. (Windows
  // takes arguments as UTF-8 whatever --encoding says; a body is bytes.)
  ScriptedPeer sjisPeer{SmtpServer()};
  Outcome sjis = Tarnlet(
      SendTo(sjisPeer.port(), {"--to", "you@example.jp", "--body", "-", "--encoding", "sjis"}),
      "x\x82\n");
  EXPECT_EQ(sjis.status, 0) << sjis.err;
  EXPECT_EQ(sjis.err, "tarnlet: warning: body: not Shift-JIS\n");
  EXPECT_THAT(sjisPeer.Transcript(), HasSubstr("\r\n\r\nx\x1b$B\".\x1b(B\r\n"));
}

TEST(Send, RepeatedAddressOptionsBecomeOneListEach) {
  ScriptedPeer peer{SmtpServer()};
  Outcome run = Tarnlet(SendTo(
      peer.port(), {"--to", "a@example.jp", "--to", "b@example.jp", "--cc", "c@example.jp", "--bcc",
                    "d@example.jp", "--x-mailer", "mailer 2", "--host-name", "me.jp"}));
  EXPECT_EQ(run.status, 0) << run.err;
  const std::string wire = peer.Transcript();
  EXPECT_THAT(wire,
              StartsWith("HELO me.jp\r\nMAIL FROM: <me@example.jp>\r\nRCPT TO: a@example.jp\r\n"
                         "RCPT TO: b@example.jp\r\nRCPT TO: c@example.jp\r\n"
                         "RCPT TO: d@example.jp\r\nDATA\r\n"));
  EXPECT_THAT(wire, HasSubstr("\r\nTo: a@example.jp, b@example.jp\r\nCc: c@example.jp\r\n"));
  EXPECT_THAT(wire, HasSubstr("\r\nX-Mailer: mailer 2\r\n"));
  std::string content = wire.substr(wire.find("DATA\r\n"));
  EXPECT_THAT(content, Not(HasSubstr("d@example.jp"))) << "Bcc stays out of the message";
}

TEST(Send, PasswordFileFeedsPopBeforeSmtp) {
  TempDir dir;
  std::string secret = dir.File("secret");
  WriteFileBytes(secret, "s3cr et\r\n");
  ScriptedPeer pop({Send("+OK pop ready\r\n"), ExpectLine(), Send("+OK\r\n"), ExpectLine(),
                    Send("+OK\r\n"), ExpectLine(), Send("+OK bye\r\n")});
  ScriptedPeer smtp{SmtpServer()};
  Outcome run =
      Tarnlet(SendTo(smtp.port(), {"--to", "you@example.jp", "--auth", "pop", "--user", "user",
                                   "--password-file", secret, "--pop-server", "127.0.0.1",
                                   "--pop-port", std::to_string(pop.port())}));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(pop.Transcript(), "USER user\r\nPASS s3cr et\r\nQUIT\r\n");
  EXPECT_THAT(smtp.Transcript(), HasSubstr("RCPT TO: you@example.jp\r\n"));
}

TEST(Send, IniSendsAsTarnlet2AndShowsTheLogItNames) {
  TempDir dir;
  std::string ini = dir.File("mail.ini");
  std::string log = dir.File("mail.log");
  std::string libraryLog;
  ASSERT_TRUE(LibraryPathFromArgument(log, &libraryLog));
  WriteFileBytes(ini,
                 "[INIT]\nStartup=1\n[AUTH]\nSMTPServerAddress=127.0.0.1\n"
                 "POP3ServerAddress=127.0.0.1\nSMTPPortNo=" +
                     std::to_string(ClosedPort()) +
                     "\n[SEND]\nAddress=you@example.jp\n[ETC]\nMyHostFQDNName=h\n"
                     // Under code page 932 the lone lead byte takes the line end with it.
                     "MyMailAddress=me@example.jp\nMyMailAddressComt=\x82\nX=1\n[FILE]\nLog=" +
                     libraryLog + "\n");
  Outcome run = Tarnlet({"send", "--ini", ini});
  EXPECT_EQ(run.status, 2);
  EXPECT_THAT(run.err, HasSubstr("log lines of this call (" + libraryLog + "):\n"));
  if (::tarnlet::testing::AnsiCodePage() != 932) {  // there Windows rewrites the byte
    EXPECT_THAT(run.err, HasSubstr("tarnlet: warning: MyMailAddressComt: not Shift-JIS\n"));
  }
  EXPECT_TRUE(HasLogLine(run.err, "SMTP SND : Connect Ng ErrCode=\\d+-050")) << run.err;

  WriteFileBytes(ini, "[SEND]\nAddress=you@example.jp\n");
  Outcome noLog = Tarnlet({"send", "--ini", ini});
  EXPECT_EQ(noLog.status, 30);
  EXPECT_THAT(noLog.err, HasSubstr("the settings name no log file"));
}

}  // namespace
}  // namespace tool
}  // namespace tarnlet
