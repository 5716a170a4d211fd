// Bodies and attachments far larger than any buffer go out whole.
#include <algorithm>
#include <cstdint>

#include "mail_fixture.h"
#include "support/tls_front.h"

namespace tarnlet {
namespace mail_tests {
namespace {

using MailLargeTest = MailTest;

// Shift-JIS line pieces with their ISO-2022-JP forms on the wire.
struct Piece {
  std::string sjis;
  std::string wire;
};

const Piece kPieces[] = {
    {"plain ascii text, ", "plain ascii text, "},
    {"\x8a\xbf\x8e\x9a", "\x1b$B4A;z\x1b(B"},  // 漢字
    {"\xb6\xde\xca\xdf", "\x1b$B%,%Q\x1b(B"},  // ｶﾞﾊﾟ widened
    {"\x8a\xbf\xb6\xde", "\x1b$B4A%,\x1b(B"},  // 漢ｶﾞ in one run
};

TEST_F(MailLargeTest, HundredKilobyteJapaneseBodyGoesOutWhole) {
  std::string body;
  std::string wire;
  for (int line = 0; body.size() < 100 * 1024; ++line) {
    // Every seventh line starts with a dot and must be stuffed.
    std::string number = std::to_string(100000 + line);
    std::string sjis = (line % 7 == 0 ? "." : "") + number + " ";
    std::string out = (line % 7 == 0 ? ".." : "") + number + " ";
    for (int i = 0; i < 6; ++i) {
      const Piece& piece = kPieces[(line + i) % 4];
      sjis += piece.sjis + "|";  // ASCII between pieces: each run is closed
      out += piece.wire + "|";
    }
    body += sjis + "\r\n";
    wire += out + "\r\n";
  }
  ScriptedPeer peer{SmtpServer()};
  EXPECT_EQ(RunWith(peer, body.c_str()), 0);
  const std::string expected =
      Commands() + kBaseHeaders + kTextPartHeader + wire + "\r\n\r\n.\r\nQUIT\r\n";
  const std::string transcript = MaskMessageId(peer.Transcript());
  EXPECT_EQ(transcript.size(), expected.size());
  EXPECT_TRUE(transcript == expected);  // no 200 KB diff on failure
  EXPECT_EQ(Log(), "");
  ExpectAllReleased();
}

// In clear text, and inside TLS to a server that reads slowly through a
// small buffer, so most sends find the wire full and records go out in
// pieces.
struct LargeCase {
  const char* what;
  std::size_t size;
  bool tls;
};
const LargeCase kLargeCases[] = {{"20 MB in clear text", 20 * 1024 * 1024 + 17, false},
                                 {"3 MB inside TLS, read slowly", 3 * 1024 * 1024 + 5, true}};

class MailLargeAttachmentTest : public MailTest, public ::testing::WithParamInterface<LargeCase> {};

TEST_P(MailLargeAttachmentTest, GoesOutWhole) {
  std::string data(GetParam().size, '\0');
  std::uint32_t state = 2463534242u;
  for (std::size_t i = 0; i < data.size(); i += 4) {  // xorshift: every byte value
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    for (std::size_t k = 0; k < 4 && i + k < data.size(); ++k) {
      data[i + k] = static_cast<char>(state >> (8 * k));
    }
  }
  const std::string real = File("big.bin");
  testing::WriteFileBytes(real, data);
  platform_.MapPath("C:\\data\\big.bin", real);
  SetField(g_mailSettings.AppendFile, "C:\\data\\big.bin");

  // The peer takes the data line by line: one step per line the client
  // sends between DATA and the end marker, so it never rescans the 27 MB.
  const std::string b = "+-+-+-Default-+-+-+";
  const std::string framing =
      std::string(kBaseHeaders) + "Content-Type: multipart/mixed;\r\n" + " boundary=\"" + b +
      "\"\r\n\r\nThis is a multi-part message" + " in MIME format.\r\n\r\n--" + b +
      "\r\nContent-Type: " + "application/octet-stream; name=\"big.bin\"\r\nContent-" +
      "Disposition: attachment; filename=\"big.bin\"\r\nContent-" +
      "Description: \"big.bin\"\r\nContent-Transfer-Encoding: " + "base64\r\n\r\n" + "\r\n--" + b +
      "--\r\n\r\n.\r\n";
  const std::size_t base64Lines = (data.size() + 53) / 54;
  const std::size_t dataLines =
      static_cast<std::size_t>(std::count(framing.begin(), framing.end(), '\n')) + base64Lines;
  std::vector<PeerStep> script =
      Greet({"250 hello\r\n", "250 sender ok\r\n", "250 rcpt ok\r\n", "354 go ahead\r\n"});
  script.insert(script.end(), dataLines, ExpectLine());
  for (const char* reply : {"250 queued\r\n", "221 bye\r\n"}) {
    script.push_back(Send(reply));
    script.push_back(ExpectLine());
  }
  ScriptedPeer peer(script);
  if (GetParam().tls) {
    const std::uint16_t front = testing::TlsFront(peer.port(), "slow");
    ASSERT_NE(front, 0) << "no TLS front: run the tests through CTest";
    platform_.RoutePort(465, front);
    SetField(g_mailSettings.SMTPServerAddress, "localhost");
    platform_.MapHost("localhost", "127.0.0.1");
    g_mailSettings.SMTPPortNo = 465;
    ASSERT_EQ(Run(""), 0) << Log();
  } else {
    ASSERT_EQ(RunWith(peer, ""), 0);
  }
  const std::string transcript = peer.Transcript();
  EXPECT_EQ(Log(), "");

  const std::string head = "Content-Transfer-Encoding: base64\r\n\r\n";
  const std::string tail = "\r\n--+-+-+-Default-+-+-+--\r\n\r\n.\r\nQUIT\r\n";
  const std::size_t start = transcript.find(head);
  ASSERT_NE(start, std::string::npos);
  ASSERT_GT(transcript.size(), tail.size());
  ASSERT_EQ(transcript.compare(transcript.size() - tail.size(), tail.size(), tail), 0);
  EXPECT_EQ(MaskMessageId(transcript.substr(0, start + head.size())),
            Commands() + framing.substr(0, framing.find(head) + head.size()));
  const std::string lines =
      transcript.substr(start + head.size(), transcript.size() - tail.size() - start - head.size());

  // 72 characters and CR LF per line; only the last one shorter.
  std::size_t lineCount = 0;
  bool shapeOk = true;
  for (std::size_t at = 0; at < lines.size(); ++lineCount) {
    std::size_t end = lines.find("\r\n", at);
    if (end == std::string::npos || (end - at != 72 && end + 2 != lines.size())) {
      shapeOk = false;
      break;
    }
    at = end + 2;
  }
  EXPECT_TRUE(shapeOk);
  EXPECT_EQ(lineCount, (data.size() + 53) / 54);
  const std::string decoded = DecodeBase64(lines);
  EXPECT_EQ(decoded.size(), data.size());
  EXPECT_TRUE(decoded == data);
  ExpectAllReleased();
}

INSTANTIATE_TEST_SUITE_P(Sizes, MailLargeAttachmentTest, ::testing::ValuesIn(kLargeCases),
                         [](const ::testing::TestParamInfo<LargeCase>& info) {
                           return info.param.tls ? "ThreeMegabytesInsideTls" : "TwentyMegabytes";
                         });

}  // namespace
}  // namespace mail_tests
}  // namespace tarnlet
