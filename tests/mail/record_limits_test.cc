// Every field at the longest the record can hold, and the longest
// attachment list, reach the server whole.
#include "mail_fixture.h"

namespace tarnlet {
namespace mail_tests {
namespace {

using MailLimitsTest = MailTest;

std::string EncodedWord(const std::string& iso2022jp) {
  return "=?ISO-2022-JP?B?" + EncodeBase64(iso2022jp) + "?=";
}

std::string Repeat(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

TEST_F(MailLimitsTest, EveryFieldAtItsLongestGoesOutWhole) {
  const std::string host = std::string(243, 'h') + ".example.com";      // 255
  const std::string from = std::string(243, 'f') + "@example.com";      // 255
  const std::string to = std::string(1011, 't') + "@example.com";       // 1023
  const std::string cc = std::string(1011, 'c') + "@example.com";       // 1023
  const std::string replyTo = std::string(1011, 'r') + "@example.com";  // 1023
  const std::string mailer(255, 'm');
  const std::string boundary(255, 'b');
  // 漢 127 times and one ASCII byte: 255 bytes, 261 once converted.
  const std::string subject = Repeat("\x8a\xbf", 127) + "a";
  const std::string subjectJis = "\x1b$B" + Repeat("4A", 127) + "\x1b(Ba";
  // Half-width ｱ alternating with ASCII: the costliest text to convert.
  const std::string comment = Repeat("\xb1z", 127) + "\xb1";
  const std::string commentJis = Repeat("\x1b$B%\"\x1b(Bz", 127) + "\x1b$B%\"\x1b(B";
  // A 1023-byte path whose name is 1020 bytes of the same kind.
  const std::string name = Repeat("\xb1z", 508) + ".txt";
  const std::string nameWord = EncodedWord(Repeat("\x1b$B%\"\x1b(Bz", 508) + ".txt");
  const std::string path = "C:\\" + name;
  ASSERT_EQ(path.size(), 1023u);

  SetField(g_mailSettings.MyHostFQDNName, host);
  SetField(g_mailSettings.MyMailAddress, from);
  SetField(g_mailSettings.Address, to);
  SetField(g_mailSettings.Cc, cc);
  SetField(g_mailSettings.sReply_To, replyTo);
  SetField(g_mailSettings.X_MailerName, mailer);
  SetField(g_mailSettings.Boundary, boundary);
  SetField(g_mailSettings.Subject, subject);
  SetField(g_mailSettings.MyMailAddressComt, comment);
  SetField(g_mailSettings.AppendFile, path);
  const std::string real = File("n.txt");
  testing::WriteFileBytes(real, "n");
  platform_.MapPath(path, real);

  ScriptedPeer peer(AcceptingServer(2));
  EXPECT_EQ(RunWith(peer, "x"), 0);
  const std::string b = "+-+-+-" + boundary + "-+-+-+";
  const std::string expected =
      "HELO " + host + "\r\n" + "MAIL FROM: <" + from + ">\r\n" + "RCPT TO: " + to + "\r\n" +
      "RCPT TO: " + cc + "\r\n" + "DATA\r\n" + "Reply-To: <" + replyTo + ">\r\n" + "From: \"" +
      EncodedWord(commentJis) + "\"<" + from + ">\r\n" + "To: " + to + "\r\n" + "Cc: " + cc +
      "\r\n" + "Subject: " + EncodedWord(subjectJis) + "\r\n" + "MIME-Version: 1.0\r\n" +
      "Date: Thu, 5 Mar 2026 09:07:03 +0900\r\n" + "Message-Id: <20260305090703.quorvex#####@" +
      host + ">\r\n" + "X-Mailer: " + mailer + "\r\n" +
      "Content-Type: multipart/mixed;\r\n boundary=\"" + b + "\"\r\n" +
      "\r\nThis is a multi-part message in MIME format.\r\n" + "\r\n--" + b + "\r\n" +
      kTextPartHeader + "x" + "\r\n--" + b + "\r\n" + "Content-Type: text/plain; name=\"" +
      nameWord + "\"\r\n" + "Content-Disposition: attachment; filename=\"" + nameWord + "\"\r\n" +
      "Content-Description: \"" + nameWord + "\"\r\n" +
      "Content-Transfer-Encoding: base64\r\n\r\n" + "bg==\r\n" + "\r\n--" + b + "--\r\n\r\n.\r\n" +
      "QUIT\r\n";
  EXPECT_EQ(MaskMessageId(peer.Transcript()), expected);
  EXPECT_EQ(platform_.openedPaths(), std::vector<std::string>{path});
  EXPECT_EQ(Log(), "");
  ExpectAllReleased();
}

TEST_F(MailLimitsTest, AListOfFiveHundredTwelveAttachmentsSendsEveryOne) {
  const std::string real = File("n.bin");
  testing::WriteFileBytes(real, "n");
  std::string list;
  std::string parts;
  const std::string b = "+-+-+-Default-+-+-+";
  for (int i = 0; i < 512; ++i) {
    const std::string entry(1, static_cast<char>('a' + i % 26));
    platform_.MapPath(entry, real);
    list += (i == 0 ? "" : ";") + entry;
    parts += "\r\n--" + b + "\r\nContent-Type: application/octet-stream; name=\"" + entry +
             "\"\r\nContent-Disposition: attachment; filename=\"" + entry +
             "\"\r\nContent-Description: \"" + entry +
             "\"\r\nContent-Transfer-Encoding: base64\r\n\r\nbg==\r\n";
  }
  ASSERT_EQ(list.size(), 1023u);
  SetField(g_mailSettings.AppendFile, list);
  ScriptedPeer peer(AcceptingServer());
  EXPECT_EQ(RunWith(peer, ""), 0);
  EXPECT_EQ(MaskMessageId(peer.Transcript()),
            Commands() + kBaseHeaders + "Content-Type: multipart/mixed;\r\n boundary=\"" + b +
                "\"\r\n\r\nThis is a multi-part message in MIME format.\r\n" + parts + "\r\n--" +
                b + "--\r\n\r\n.\r\nQUIT\r\n");
  EXPECT_EQ(platform_.openedPaths().size(), 512u);
  ExpectAllReleased();
}

}  // namespace
}  // namespace mail_tests
}  // namespace tarnlet
