// Every field at the longest the record can hold, and the longest
// attachment list, reach the server whole.
#include "mail_fixture.h"

namespace tarnlet {
namespace mail_tests {
namespace {

using MailLimitsTest = MailTest;

std::string EncodedWord(const std::string& iso2022jp) {
  return "=?ISO-2022-JP?B?" + testing::ReferenceBase64(iso2022jp) + "?=";
}

std::string Repeat(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

std::string Folded(const std::vector<std::string>& words) {
  std::string out;
  for (const std::string& word : words) out += (out.empty() ? "" : "\r\n ") + word;
  return out;
}

// The value of a filename* parameter split into numbered sections, one to a
// folded line (RFC 2231 3 and 4); "?" when a section is out of order, badly
// formed or its line longer than 78 octets.
std::string SectionedFileName(const std::string& field) {
  std::string value;
  std::size_t at = field.find("\r\n ");
  for (int k = 0; at != std::string::npos; ++k) {
    const std::size_t end = field.find("\r\n", at + 2);
    std::string line = field.substr(at + 3, end - at - 3);
    if (line.size() + 1 > 78) return "?";
    const std::string head = "filename*" + std::to_string(k) + (k == 0 ? "*=ISO-2022-JP''" : "*=");
    if (line.compare(0, head.size(), head) != 0) return "?";
    line = line.substr(head.size());
    const bool last = field.compare(end, 3, "\r\n ") != 0;
    if (!last && (line.empty() || line.back() != ';')) return "?";
    if (!last) line.pop_back();
    for (std::size_t i = 0; i < line.size(); ++i) {
      if (line[i] != '%') {
        value += line[i];
        continue;
      }
      if (i + 2 >= line.size()) return "?";
      value += static_cast<char>(std::stoi(line.substr(i + 1, 2), nullptr, 16));
      i += 2;
    }
    at = last ? std::string::npos : end;
  }
  return value;
}

TEST_F(MailLimitsTest, EveryFieldAtItsLongestGoesOutWhole) {
  const std::string host = std::string(243, 'h') + ".example.com";      // 255
  const std::string from = std::string(243, 'f') + "@example.com";      // 255
  const std::string to = std::string(1011, 't') + "@example.com";       // 1023
  const std::string cc = std::string(1011, 'c') + "@example.com";       // 1023
  const std::string replyTo = std::string(1011, 'r') + "@example.com";  // 1023
  const std::string mailer(255, 'm');
  const std::string boundary(255, 'b');
  // Half-width ｱ alternating with ASCII: the costliest text to convert.
  const std::string comment = Repeat("\xb1z", 127) + "\xb1";
  const std::string subject = comment;
  // One encoded word would make the From and Subject lines too long: they
  // go out as words of four such pairs each, one to a line.
  const std::string pair = "\x1b$B%\"\x1b(Bz";
  std::vector<std::string> commentWords(31, EncodedWord(Repeat(pair, 4)));
  commentWords.push_back(EncodedWord(Repeat(pair, 3) + "\x1b$B%\"\x1b(B"));
  // A 1023-byte path whose name is 1020 bytes of the same kind.
  const std::string name = Repeat("\xb1z", 508) + ".txt";
  const std::string nameJis = Repeat(pair, 508) + ".txt";
  std::vector<std::string> nameWords(126, EncodedWord(Repeat(pair, 4)));
  nameWords.push_back(EncodedWord(Repeat(pair, 4) + ".txt"));
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

  ScriptedPeer peer{SmtpServer()};
  EXPECT_EQ(RunWith(peer, "x"), 0);
  const std::string transcript = MaskMessageId(peer.Transcript());
  const std::size_t dispositionAt = transcript.find("Content-Disposition: attachment;\r\n");
  const std::size_t descriptionAt = transcript.find("Content-Description: ");
  ASSERT_LT(dispositionAt, descriptionAt);
  const std::string disposition = transcript.substr(dispositionAt, descriptionAt - dispositionAt);
  EXPECT_EQ(SectionedFileName(disposition), nameJis);
  const std::string b = "+-+-+-" + boundary + "-+-+-+";
  const std::string expected =
      "HELO " + host + "\r\n" + "MAIL FROM: <" + from + ">\r\n" + "RCPT TO: " + to + "\r\n" +
      "RCPT TO: " + cc + "\r\n" + "DATA\r\n" + "Reply-To: <" + replyTo + ">\r\n" + "From: \"" +
      Folded(commentWords) + "\"<" + from + ">\r\n" + "To: " + to + "\r\n" + "Cc: " + cc + "\r\n" +
      "Subject: " + Folded(commentWords) + "\r\n" + "MIME-Version: 1.0\r\n" +
      "Date: Thu, 5 Mar 2026 09:07:03 +0900\r\n" + "Message-Id: <20260305090703.quorvex#####@" +
      host + ">\r\n" + "X-Mailer: " + mailer + "\r\n" +
      "Content-Type: multipart/mixed;\r\n boundary=\"" + b + "\"\r\n" +
      "\r\nThis is a multi-part message in MIME format.\r\n" + "\r\n--" + b + "\r\n" +
      kTextPartHeader + "x" + "\r\n--" + b + "\r\n" + "Content-Type: text/plain;\r\n name=\"" +
      Folded(nameWords) + "\"\r\n" + disposition + "Content-Description: " + Folded(nameWords) +
      "\r\n" + "Content-Transfer-Encoding: base64\r\n\r\n" + "bg==\r\n" + "\r\n--" + b +
      "--\r\n\r\n.\r\n" + "QUIT\r\n";
  EXPECT_EQ(transcript, expected);
  EXPECT_EQ(platform_.OpenedPaths(), std::vector<std::string>{path});
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
  ScriptedPeer peer{SmtpServer()};
  EXPECT_EQ(RunWith(peer, ""), 0);
  EXPECT_EQ(MaskMessageId(peer.Transcript()),
            Commands() + kBaseHeaders + "Content-Type: multipart/mixed;\r\n boundary=\"" + b +
                "\"\r\n\r\nThis is a multi-part message in MIME format.\r\n" + parts + "\r\n--" +
                b + "--\r\n\r\n.\r\nQUIT\r\n");
  EXPECT_EQ(platform_.OpenedPaths().size(), 512u);
  ExpectAllReleased();
}

}  // namespace
}  // namespace mail_tests
}  // namespace tarnlet
