// RCPT TO commands from the To, Cc and Bcc lists, and the To and Cc header
// lines that go with them.
#include "mail_fixture.h"

namespace tarnlet {
namespace mail_tests {
namespace {

using MailRecipientsTest = MailTest;

const std::string kHeadersAfterCc =
    "Subject: =?ISO-2022-JP?B?VGVzdA==?=\r\n"
    "MIME-Version: 1.0\r\n"
    "Date: Thu, 5 Mar 2026 09:07:03 +0900\r\n"
    "Message-Id: <20260305090703.quorvex#####@client.example>\r\n"
    "X-Mailer: TestMailer\r\n"
    "\r\n\r\n.\r\n";

struct RecipientRow {
  const char* what;
  std::string to, cc, bcc;
  std::vector<std::string> rcpt;
  std::string fields;  // the To and Cc lines
};

std::string Join(const std::vector<std::string>& items, std::size_t from, std::size_t to,
                 const std::string& separator) {
  std::string out;
  for (std::size_t i = from; i < to; ++i) out += (i > from ? separator : "") + items[i];
  return out;
}

TEST_F(MailRecipientsTest, OneRcptPerAddressInToCcBccOrderAndNoBccHeader) {
  const std::string longAddress = std::string(1011, 'm') + "@example.com";  // 1023 bytes
  // 50 addresses of 18 bytes: 49 fill the first line to 983 octets.
  std::vector<std::string> many;
  std::vector<std::string> manyRcpt;
  for (int i = 0; i < 50; ++i) {
    many.push_back("user" + std::to_string(10 + i) + "@example.com");
    manyRcpt.push_back("RCPT TO: " + many.back() + "\r\n");
  }
  // A line that an address fills to 998 octets: its comma before the fold
  // would make it 999, so the address moves to the next line.
  std::string filling = "aa@c";
  for (int i = 0; i < 198; ++i) filling += ";a@b";
  std::vector<std::string> fillingRcpt = {"RCPT TO: aa@c\r\n"};
  for (int i = 0; i < 198; ++i) fillingRcpt.push_back("RCPT TO: a@b\r\n");
  fillingRcpt.push_back("RCPT TO: x@y\r\n");
  std::string firstLine = "To: aa@c";
  for (int i = 0; i < 197; ++i) firstLine += ", a@b";
  const RecipientRow rows[] = {
      {"two entries, stray spaces and empty entries",
       "a@x.example; b@y.example ;;",
       "",
       "",
       {"RCPT TO: a@x.example\r\n", "RCPT TO: b@y.example\r\n"},
       "To: a@x.example, b@y.example\r\n"},
      {"display name and bracketed address run together",
       "Taro Yamada <taro@x.example>",
       "",
       "",
       {"RCPT TO: TaroYamada<taro@x.example>\r\n"},
       "To: TaroYamada<taro@x.example>\r\n"},
      {"leading ';' and an entry of spaces",
       ";  ; a@x.example",
       "",
       "",
       {"RCPT TO: a@x.example\r\n"},
       "To: a@x.example\r\n"},
      {"To, Cc and Bcc in that order",
       "a@x.example",
       "c@x.example;d@x.example",
       "e@x.example",
       {"RCPT TO: a@x.example\r\n", "RCPT TO: c@x.example\r\n", "RCPT TO: d@x.example\r\n",
        "RCPT TO: e@x.example\r\n"},
       "To: a@x.example\r\nCc: c@x.example, d@x.example\r\n"},
      {"an address in To and Cc gets two commands",
       "a@x.example",
       "a@x.example",
       "",
       {"RCPT TO: a@x.example\r\n", "RCPT TO: a@x.example\r\n"},
       "To: a@x.example\r\nCc: a@x.example\r\n"},
      {"Bcc only", "", "", "hidden@x.example", {"RCPT TO: hidden@x.example\r\n"}, ""},
      {"To of spaces only: DATA follows MAIL FROM, no To field", "   ", "", "", {}, ""},
      {"a 1023-byte address goes out whole",
       longAddress,
       "",
       "",
       {"RCPT TO: " + longAddress + "\r\n"},
       "To: " + longAddress + "\r\n"},  // no separator to fold at
      {"a To list too long for one line is folded after a comma", Join(many, 0, 50, "; "), "", "",
       manyRcpt, "To: " + Join(many, 0, 49, ", ") + ",\r\n " + many[49] + "\r\n"},
      {"the comma before a fold counts: no line of 999 octets", filling + ";x@y", "", "",
       fillingRcpt, firstLine + ",\r\n a@b, x@y\r\n"},
  };
  for (const RecipientRow& row : rows) {
    SCOPED_TRACE(row.what);
    SetField(g_mailSettings.Address, row.to);
    SetField(g_mailSettings.Cc, row.cc);
    SetField(g_mailSettings.Bcc, row.bcc);
    ScriptedPeer peer{SmtpServer()};
    EXPECT_EQ(RunWith(peer, ""), 0);
    EXPECT_EQ(MaskMessageId(peer.Transcript()), Commands(row.rcpt) +
                                                    "From: <from@example.com>\r\n" + row.fields +
                                                    kHeadersAfterCc + "QUIT\r\n");
    EXPECT_EQ(Log(), "");
  }
}

TEST_F(MailRecipientsTest, ARefusedCcAddressStopsTheListsWithMinus7) {
  SetField(g_mailSettings.Cc, "c@x.example; d@x.example");
  SetField(g_mailSettings.Bcc, "e@x.example");
  ScriptedPeer peer(Greet({"250 hi\r\n", "250 ok\r\n", "250 ok\r\n", "250 ok\r\n",
                           "550 no such user\r\n", "221 bye\r\n"}));
  EXPECT_EQ(RunWith(peer, "Hello"), -7);
  EXPECT_EQ(peer.Transcript(),
            "HELO client.example\r\nMAIL FROM: <from@example.com>\r\n"
            "RCPT TO: to@example.com\r\nRCPT TO: c@x.example\r\nRCPT TO: d@x.example\r\n"
            "QUIT\r\n");
  EXPECT_EQ(Log(), StoredLog({"SMTP SND : Res Rcv Ng-022\r\n", "0-058\r\n"}));
  ExpectAllReleased();
}

}  // namespace
}  // namespace mail_tests
}  // namespace tarnlet
