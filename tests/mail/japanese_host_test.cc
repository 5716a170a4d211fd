// A host on a Japanese system: Shift-JIS in the settings file, in the
// folder of an attachment and in the name of the log file. On Windows these
// go through the ANSI code page (the profile reader, CreateFileA, fopen);
// the Windows suites run once more under code page 932 to see them there.
#include <cstdlib>

#include "mail_fixture.h"
#include "support/code_page.h"

namespace tarnlet {
namespace mail_tests {
namespace {

// The leg that runs under a Japanese code page says so; without this check
// it could pass under another one without anyone noticing.
TEST(CodePageTest, RunsUnderTheCodePageTheLegAsksFor) {
  const char* expected = std::getenv("TARNLET_EXPECT_ACP");
  if (expected == nullptr) GTEST_SKIP() << "no code page asked for";
  EXPECT_EQ(testing::AnsiCodePage(), static_cast<unsigned>(std::atoi(expected)));
}

const char kSeparator[] =
#ifdef _WIN32
    "\\";
#else
    "/";
#endif

class JapaneseHostTest : public MailTest {};

TEST_F(JapaneseHostTest, ShiftJisSettingsFileDeliversExactBytes) {
  // Windows passes every text of a settings file through the ANSI code
  // page, so Shift-JIS arrives whole only where that is 932.
  const unsigned codePage = testing::AnsiCodePage();
  if (codePage != 0 && codePage != 932) GTEST_SKIP() << "ANSI code page " << codePage;
  const std::string folder = File("\x95\xf1\x8d\x90");  // 報告
  ASSERT_TRUE(testing::MakeFolder(folder));
  const std::string attachment = folder + kSeparator + "report.txt";
  testing::WriteFileBytes(attachment, "abc");
  const std::string log = File("\x83\x8d\x83\x4f.log");  // ログ.log
  ScriptedPeer peer{SmtpServer()};
  const std::string ini = File("settings.ini");
  const std::string settings =
      "[AUTH]\r\nSMTPPortNo=" + std::to_string(peer.port()) +
      "\r\nSMTPServerAddress=127.0.0.1\r\nPOP3ServerAddress=127.0.0.1\r\n"
      "[SEND]\r\nAddress=to@example.com\r\n"
      "Subject=\x8c\x8e\x8e\x9f\x95\xf1\x8d\x90\r\n"  // 月次報告
      "[ETC]\r\nMyHostFQDNName=client.example\r\nMyMailAddress=from@example.com\r\n"
      "MyMailAddressComt=\x89\x63\x8b\xc6\x95\x94\r\n"  // 営業部
      "[FILE]\r\nAppendFile=" +
      attachment + "\r\nLog=" + log + "\r\n";
  testing::WriteFileBytes(ini, settings);

  EXPECT_EQ(MailSender().SendFromIni("\x96\x7b\x95\xb6\r\n", ini.c_str()), 0);  // 本文
  const std::string boundary = "+-+-+-Default-+-+-+";
  EXPECT_EQ(MaskMessageId(peer.Transcript()),
            Commands() +
                "From: \"=?ISO-2022-JP?B?GyRCMUQ2SEl0GyhC?=\"<from@example.com>\r\n"
                "To: to@example.com\r\n"
                "Subject: =?ISO-2022-JP?B?GyRCN248IUpzOXAbKEI=?=\r\n"
                "MIME-Version: 1.0\r\n"
                "Date: Thu, 5 Mar 2026 09:07:03 +0900\r\n"
                "Message-Id: <20260305090703.quorvex#####@client.example>\r\n"
                "Content-Type: multipart/mixed;\r\n boundary=\"" +
                boundary +
                "\"\r\n\r\nThis is a multi-part message in MIME format.\r\n"
                "\r\n--" +
                boundary + "\r\n" + kTextPartHeader + "\x1b$BK\\J8\x1b(B\r\n" + "\r\n--" +
                boundary +
                "\r\nContent-Type: text/plain; name=\"report.txt\"\r\n"
                "Content-Disposition: attachment; filename=\"report.txt\"\r\n"
                "Content-Description: \"report.txt\"\r\n"
                "Content-Transfer-Encoding: base64\r\n\r\nYWJj\r\n"
                "\r\n--" +
                boundary + "--\r\n\r\n.\r\nQUIT\r\n");
  EXPECT_EQ(testing::ReadFileBytes(log), "");

  // The Japanese log line, in the file with the Japanese name.
  testing::WriteFileBytes(ini, "[AUTH]\r\nKind=3\r\n" + settings.substr(8));
  EXPECT_EQ(MailSender().SendFromIni("", ini.c_str()), -30);
  EXPECT_EQ(testing::ReadFileBytes(log),
            // 初期化ﾌｧｲﾙﾃﾞｰﾀ異常-001
            "2026/03/05 09:07:03  "
            "\x8f\x89\x8a\xfa\x89\xbb\xcc\xa7\xb2\xd9\xc3\xde\xb0\xc0\x88\xd9\x8f\xed-001\r\n");
  ExpectAllReleased();
}

// UTF-8 where Shift-JIS belongs (a C host, a macro without StrConv): read
// as Shift-JIS, with the geta mark where that finds no character, every
// line 7-bit and the text after the odd bytes whole.
TEST_F(JapaneseHostTest, Utf8TextThroughTheRecordGoesOutSevenBitAndWhole) {
  ScriptedPeer peer{SmtpServer()};
  MailSettings record = g_mailSettings;
  record.SMTPPortNo = peer.port();
  SetField(record.Subject, "\xe6\x9c\x88 x");            // 月 x
  SetField(record.MyMailAddressComt, "\xe6\x9c\x88 x");  // 月 x
  // 本文, then ASCII: E6 9C and E6 96 pair, AC is a katakana, 87 a lead
  // byte before CR.
  EXPECT_EQ(MailSender().SendFromRecord("Hi \xe6\x9c\xac\xe6\x96\x87\r\nbye\r\n", &record), 0);
  const std::string transcript = peer.Transcript();
  for (char c : transcript) ASSERT_TRUE(c != '\0' && (c & 0x80) == 0);
  const std::string word =
      "=?ISO-2022-JP?B?" + testing::ReferenceBase64("\x1b$Bk|\".\x1b(B x") + "?=";
  EXPECT_NE(transcript.find("From: \"" + word + "\"<from@example.com>\r\n"), std::string::npos);
  EXPECT_NE(transcript.find("Subject: " + word + "\r\n"), std::string::npos);
  EXPECT_NE(transcript.find(std::string(kTextPartHeader) + "Hi \x1b$Bk|%ckv\".\x1b(B\r\nbye\r\n"),
            std::string::npos);
  ExpectAllReleased();
}

}  // namespace
}  // namespace mail_tests
}  // namespace tarnlet
