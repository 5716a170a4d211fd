// The message the server receives after DATA: single-part and multipart
// shapes, attachment parts, boundaries and header fields, byte for byte.
#include "mail_fixture.h"

namespace tarnlet {
namespace mail_tests {
namespace {

const std::string kFox54 = "The quick brown fox jumps over the lazy dog. 012345678";
const std::string kFox54Base64 =
    "VGhlIHF1aWNrIGJyb3duIGZveCBqdW1wcyBvdmVyIHRoZSBsYXp5IGRvZy4gMDEyMzQ1Njc4";
const std::string kEnd = "\r\n\r\n.\r\n";

std::string MultipartHeader(const std::string& boundary) {
  return "Content-Type: multipart/mixed;\r\n boundary=\"" + boundary +
         "\"\r\n\r\nThis is a multi-part message in MIME format.\r\n";
}

std::string AttachmentHeader(const std::string& boundary, const std::string& type,
                             const std::string& name) {
  return "\r\n--" + boundary + "\r\nContent-Type: " + type + "; name=\"" + name +
         "\"\r\nContent-Disposition: attachment; filename=\"" + name +
         "\"\r\nContent-Description: \"" + name + "\"\r\nContent-Transfer-Encoding: base64\r\n\r\n";
}

class MailShapesTest : public MailTest {
 protected:
  // `as` is how AppendFile names the file; its open reaches a real file
  // holding bytes.
  void AddAttachment(const std::string& as, const std::string& bytes) {
    const std::string real = File("attachment" + std::to_string(list_.size()));
    testing::WriteFileBytes(real, bytes);
    // The list loses the spaces around an entry before any open.
    const std::size_t first = as.find_first_not_of(' ');
    const std::string opened = as.substr(first, as.find_last_not_of(' ') + 1 - first);
    platform_.MapPath(opened, real);
    list_ += (list_.empty() ? "" : ";") + as;
    SetField(g_mailSettings.AppendFile, list_);
  }

  // The whole transcript of a successful exchange carrying data.
  std::string Exchange(const char* body) {
    ScriptedPeer peer{SmtpServer()};
    EXPECT_EQ(RunWith(peer, body), 0);
    EXPECT_EQ(Log(), "");
    return MaskMessageId(peer.Transcript());
  }

  static std::string Whole(const std::string& data) { return Commands() + data + "QUIT\r\n"; }

  std::string list_;
};

const std::string kKanji = "\x8a\xbf";  // 漢, 4A in JIS X 0208

std::string Times(int n, const std::string& text) {
  std::string out;
  for (int i = 0; i < n; ++i) out += text;
  return out;
}

// A run of kanji 4A as a line of its own: escapes around the pairs.
std::string KanjiRun(int n) { return "\x1b$B" + Times(n, "4A") + "\x1b(B"; }

TEST_F(MailShapesTest, SinglePartMessages) {
  struct Row {
    const char* what;
    std::string body;
    const char* appendFile;
    std::string data;
  } rows[] = {
      {"no body: the end marker closes the header block", "", "", std::string(kBaseHeaders) + kEnd},
      {"Japanese body converted, line ends kept", "\x8a\xbf\x8e\x9a\r\nabc", "",
       std::string(kBaseHeaders) + kTextPartHeader + "\x1b$B4A;z\x1b(B\r\nabc" + kEnd},
      {"a list of spaces and ';' names no attachment", "x", " ; ;; ",
       std::string(kBaseHeaders) + kTextPartHeader + "x" + kEnd},
      // No line longer than 998 octets: 496 kanji and their escapes fill one.
      {"1,500 kanji in one line: each line a run of its own", Times(1500, kKanji) + "\r\nz", "",
       kBaseHeaders + std::string(kTextPartHeader) + KanjiRun(496) + "\r\n" + KanjiRun(496) +
           "\r\n" + KanjiRun(496) + "\r\n" + KanjiRun(12) + "\r\nz" + kEnd},
      {"2,500 ASCII bytes in one line", std::string(2500, 'a'), "",
       kBaseHeaders + std::string(kTextPartHeader) + std::string(998, 'a') + "\r\n" +
           std::string(998, 'a') + "\r\n" + std::string(504, 'a') + kEnd},
      {"mixed: the run is closed at the break and reopened",
       std::string(990, 'x') + Times(10, kKanji) + "yz", "",
       kBaseHeaders + std::string(kTextPartHeader) + std::string(990, 'x') + KanjiRun(1) + "\r\n" +
           KanjiRun(9) + "yz" + kEnd},
      {"exactly 998 octets, ASCII and kanji: unchanged",
       std::string(998, 'a') + "\r\n" + Times(496, kKanji), "",
       kBaseHeaders + std::string(kTextPartHeader) + std::string(998, 'a') + "\r\n" +
           KanjiRun(496) + kEnd},
      {"a new line that begins with '.' is stuffed", std::string(998, 'a') + ".b", "",
       kBaseHeaders + std::string(kTextPartHeader) + std::string(998, 'a') + "\r\n..b" + kEnd},
      {"a doubled dot is not counted", "." + std::string(997, 'a'), "",
       kBaseHeaders + std::string(kTextPartHeader) + ".." + std::string(997, 'a') + kEnd},
      // Text with no ISO-2022-JP form goes out as the geta mark, 0x222E.
      {"a lead byte before 0x1F: the text after it arrives",
       "before\x81\x1f"
       "after the pair\r\nsecond line\r\n",
       "",
       kBaseHeaders + std::string(kTextPartHeader) + "before\x1b$B\".\x1b(B\x1f" +
           "after the pair\r\nsecond line\r\n" + kEnd},
      {"a lead byte before CR LF keeps the line end", "abc\x82\r\nxyz", "",
       kBaseHeaders + std::string(kTextPartHeader) + "abc\x1b$B\".\x1b(B\r\nxyz" + kEnd},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    SetField(g_mailSettings.AppendFile, row.appendFile);
    EXPECT_EQ(Exchange(row.body.c_str()), Whole(row.data));
  }
}

TEST_F(MailShapesTest, BodyAndOneAttachment) {
  SetField(g_mailSettings.Boundary, "abc");
  AddAttachment("C:\\data\\fox.txt", kFox54);
  const std::string b = "+-+-+-abc-+-+-+";
  EXPECT_EQ(Exchange("Hi"),
            Whole(kBaseHeaders + MultipartHeader(b) + "\r\n--" + b + "\r\n" + kTextPartHeader +
                  "Hi" + AttachmentHeader(b, "text/plain", "fox.txt") + kFox54Base64 + "\r\n" +
                  "\r\n--" + b + "--\r\n\r\n.\r\n"));
}

// A boundary that a line of the text holds would end the text part there.
TEST_F(MailShapesTest, BoundaryIsOneNoLineOfTheTextHolds) {
  const std::string b = "+-+-+-abc-+-+-+";
  struct Row {
    const char* what;
    std::string body;
    std::string wire;
    std::string boundary;
  } rows[] = {
      {"the delimiter line and a forged part header", "--" + b + "\r\nContent-Type: text/html",
       "--" + b + "\r\nContent-Type: text/html", b + "0"},
      {"lines with the first digits too", "--" + b + "0\r\n--" + b + "1--\r\n--" + b,
       "--" + b + "0\r\n--" + b + "1--\r\n--" + b, b + "2"},
      {"a line the break of a long line begins", std::string(998, 'a') + "--" + b,
       std::string(998, 'a') + "\r\n--" + b, b + "0"},
      {"a shorter line, or one not at the line start, is harmless",
       "--+-+-+-abc-+-+\r\n --" + b + "\r\nx--" + b, "--+-+-+-abc-+-+\r\n --" + b + "\r\nx--" + b,
       b},
  };
  SetField(g_mailSettings.Boundary, "abc");
  AddAttachment("C:\\data\\fox.txt", kFox54);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string& d = row.boundary;
    EXPECT_EQ(Exchange(row.body.c_str()),
              Whole(kBaseHeaders + MultipartHeader(d) + "\r\n--" + d + "\r\n" + kTextPartHeader +
                    row.wire + AttachmentHeader(d, "text/plain", "fox.txt") + kFox54Base64 +
                    "\r\n" + "\r\n--" + d + "--\r\n\r\n.\r\n"));
  }
}

TEST_F(MailShapesTest, AttachmentsWithoutBodyAndDefaultBoundary) {
  AddAttachment("C:\\data\\fox.JPG", kFox54 + "9");  // 55 bytes: a second, short line
  AddAttachment("C:\\data\\empty.jpeg", "");         // headers, no data line
  AddAttachment("C:\\data\\report.pdf", "%PDF-1.4\n");
  AddAttachment("C:\\ver1.2\\notes.txt", "n");  // extension "2\notes.txt"
  const std::string b = "+-+-+-Default-+-+-+";
  EXPECT_EQ(Exchange(""),
            Whole(kBaseHeaders + MultipartHeader(b) +
                  AttachmentHeader(b, "application/octet-stream", "fox.JPG") + kFox54Base64 +
                  "\r\nOQ==\r\n" + AttachmentHeader(b, "image/jpeg", "empty.jpeg") +
                  AttachmentHeader(b, "application/pdf", "report.pdf") + "JVBERi0xLjQK\r\n" +
                  AttachmentHeader(b, "application/octet-stream", "notes.txt") + "bg==\r\n" +
                  "\r\n--" + b + "--\r\n\r\n.\r\n"));
}

// Content-Type's name holds one encoded word, Content-Disposition the RFC
// 2231 form, Content-Description the bare word.
TEST_F(MailShapesTest, FileNamesOutsideAsciiGoOutEncoded) {
  AddAttachment("C:\\data\\\x95\x5c.txt", "n");  // 表.txt; its 0x5C is no separator
  AddAttachment(" /home/user/plain name.txt ", "n");
  const std::string b = "+-+-+-Default-+-+-+";
  const std::string word = "=?ISO-2022-JP?B?GyRCST0bKEIudHh0?=";
  EXPECT_EQ(Exchange(""), Whole(kBaseHeaders + MultipartHeader(b) + "\r\n--" + b +
                                "\r\nContent-Type: text/plain; name=\"" + word +
                                "\"\r\nContent-Disposition: attachment; "
                                "filename*=ISO-2022-JP''%1B%24BI%3D%1B%28B.txt\r\n"
                                "Content-Description: " +
                                word + "\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
                                "bg==\r\n" + AttachmentHeader(b, "text/plain", "plain name.txt") +
                                "bg==\r\n" + "\r\n--" + b + "--\r\n\r\n.\r\n"));
  EXPECT_EQ(platform_.OpenedPaths(),
            (std::vector<std::string>{"C:\\data\\\x95\x5c.txt", "/home/user/plain name.txt"}));
}

// Cloud-synced folders and "Program Files" put spaces in the paths hosts
// attach: the path is opened whole and the file named with its spaces.
TEST_F(MailShapesTest, PathsWithSpacesInsideAttachUnderTheirNames) {
  const std::string b = "+-+-+-Default-+-+-+";
  const std::string wire = kBaseHeaders + MultipartHeader(b) +
                           AttachmentHeader(b, "text/plain", "a b.txt") + "YQ==\r\n" +
                           AttachmentHeader(b, "text/plain", "c.txt") + "Yw==\r\n" + "\r\n--" + b +
                           "--\r\n\r\n.\r\n";
  struct Row {
    const char* list;
    std::vector<std::string> opened;
  } rows[] = {
      {"C:\\Program Files\\a b.txt; c.txt", {"C:\\Program Files\\a b.txt", "c.txt"}},
      {"/opt/Program Files/a b.txt; c.txt", {"/opt/Program Files/a b.txt", "c.txt"}},
  };
  const std::string a = File("a"), c = File("c");
  testing::WriteFileBytes(a, "a");
  testing::WriteFileBytes(c, "c");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.list);
    platform_.MapPath(row.opened[0], a);
    platform_.MapPath(row.opened[1], c);
    SetField(g_mailSettings.AppendFile, row.list);
    const std::size_t before = platform_.OpenedPaths().size();
    EXPECT_EQ(Exchange(""), Whole(wire));
    const std::vector<std::string> opened = platform_.OpenedPaths();
    EXPECT_EQ(std::vector<std::string>(opened.begin() + before, opened.end()), row.opened);
  }
}

TEST_F(MailShapesTest, EveryHeaderFieldAndNoBcc) {
  SetField(g_mailSettings.sReply_To, "reply@example.com");
  SetField(g_mailSettings.MyMailAddressComt, "\x91\x97\x90\x4d\x8e\xd2");  // 送信者
  SetField(g_mailSettings.Cc, "cc@example.com");
  SetField(g_mailSettings.Bcc, "bcc@example.com");
  SetField(g_mailSettings.Subject, "\x8c\x8f\x96\xbc\x83\x65\x83\x58\x83\x67");  // 件名テスト
  g_mailSettings.X_MailerName[0] = '\0';
  ScriptedPeer peer{SmtpServer()};
  EXPECT_EQ(RunWith(peer, ""), 0);
  EXPECT_EQ(MaskMessageId(peer.Transcript()),
            Commands({"RCPT TO: to@example.com\r\n", "RCPT TO: cc@example.com\r\n",
                      "RCPT TO: bcc@example.com\r\n"}) +
                "Reply-To: <reply@example.com>\r\n"
                "From: \"=?ISO-2022-JP?B?GyRCQXc/LjxUGyhC?=\"<from@example.com>\r\n"
                "To: to@example.com\r\n"
                "Cc: cc@example.com\r\n"
                "Subject: =?ISO-2022-JP?B?GyRCN29MPiVGJTklSBsoQg==?=\r\n"
                "MIME-Version: 1.0\r\n"
                "Date: Thu, 5 Mar 2026 09:07:03 +0900\r\n"
                "Message-Id: <20260305090703.quorvex#####@client.example>\r\n"
                "\r\n\r\n.\r\nQUIT\r\n");
}

TEST_F(MailShapesTest, EmptySubjectAndCommentWithoutMemoryForItsEncoding) {
  g_mailSettings.Subject[0] = '\0';
  SetField(g_mailSettings.MyMailAddressComt, "Sender");
  platform_.FailNth(Call::kAllocate, 1);  // the encoding of the comment
  EXPECT_EQ(Exchange(""), Whole("From: \"\"<from@example.com>\r\n"
                                "To: to@example.com\r\n"
                                "Subject:\r\n"
                                "MIME-Version: 1.0\r\n"
                                "Date: Thu, 5 Mar 2026 09:07:03 +0900\r\n"
                                "Message-Id: <20260305090703.quorvex#####@client.example>\r\n"
                                "X-Mailer: TestMailer\r\n" +
                                kEnd));
  ExpectAllReleased();
}

TEST_F(MailShapesTest, MissingFileEndsTheCallAfterItsHeaderLines) {
  AddAttachment("C:\\data\\fox.txt", kFox54);
  list_ += ";C:\\data\\missing.txt";
  SetField(g_mailSettings.AppendFile, list_);
  ScriptedPeer peer{SmtpServer()};
  EXPECT_EQ(RunWith(peer, ""), -11);
  const std::string b = "+-+-+-Default-+-+-+";
  EXPECT_EQ(MaskMessageId(peer.Transcript()), Commands() + kBaseHeaders + MultipartHeader(b) +
                                                  AttachmentHeader(b, "text/plain", "fox.txt") +
                                                  kFox54Base64 + "\r\n" +
                                                  AttachmentHeader(b, "text/plain", "missing.txt"));
  EXPECT_EQ(Log(), StoredLog({"SMTP SND : Image File Open Ng-091\n"}));
  ExpectAllReleased();
}

// Every lead byte with every second byte, each pair followed by a marker:
// every line 7-bit and without NUL, and every marker arrives.
TEST_F(MailShapesTest, EveryLeadByteWithEverySecondByteGoesOutSevenBit) {
  const std::string marker = "\t<>";  // no JIS byte is a TAB
  std::string body;
  int pairs = 0;
  for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
    if (lead >= 0xA0 && lead < 0xE0) continue;
    for (unsigned second = 1; second <= 0xFF; ++second, ++pairs) {
      body += {static_cast<char>(lead), static_cast<char>(second)};
      body += marker + "\r\n";
    }
  }
  body += "end\x81";  // a lone lead byte last
  const std::string data = Exchange(body.c_str());
  for (char c : data) ASSERT_TRUE(c != '\0' && (c & 0x80) == 0);
  int markers = 0;
  for (std::size_t at = 0; (at = data.find(marker, at)) != std::string::npos; ++at) ++markers;
  EXPECT_EQ(pairs, markers);
  EXPECT_NE(data.find("end\x1b$B\".\x1b(B\r\n\r\n.\r\n"), std::string::npos);
}

// DATA transparency: no line of the text can end the data early, and no
// bare CR or LF reaches the server.
TEST_F(MailShapesTest, BodyLinesAreDotStuffedAndLineEndsMadeCrLf) {
  struct Row {
    const char* what;
    const char* body;
    const char* wire;
  } rows[] = {
      {"a line holding only '.'", ".\r\nafter", "..\r\nafter"},
      {"the end marker inside the text", "a\r\n.\r\nb", "a\r\n..\r\nb"},
      {"leading dots", "..x\r\n.y", "...x\r\n..y"},
      {"bare LF and bare CR", "a\nb\rc\r\n", "a\r\nb\r\nc\r\n"},
      {"dot after a bare LF", "a\n.", "a\r\n.."},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(Exchange(row.body),
              Whole(kBaseHeaders + std::string(kTextPartHeader) + row.wire + kEnd));
  }
}

}  // namespace
}  // namespace mail_tests
}  // namespace tarnlet
