// Every way the composition of a message gives up: a failed send of each
// item, no memory for Subject or body, an attachment that cannot be opened,
// positioned or read. Each leaves its lines, its code and nothing open.
#include "mail_fixture.h"

namespace tarnlet {
namespace mail_tests {
namespace {

const std::string kSendNg = SendNg(10054);

class MailFailuresTest : public MailTest {
 protected:
  // Every optional item present: Reply-To, comment, Cc, X-Mailer, a body
  // and one attachment of 54 bytes (one data line).
  void FullSettings() {
    SetField(g_mailSettings.sReply_To, "reply@example.com");
    SetField(g_mailSettings.MyMailAddressComt, "Sender");
    SetField(g_mailSettings.Cc, "cc@example.com");
    SetField(g_mailSettings.Boundary, "b");
    const std::string file = File("fox.txt");
    testing::WriteFileBytes(file, std::string(54, 'x'));
    SetField(g_mailSettings.AppendFile, file);
  }

  // Returns what the server received.
  std::string ExpectFailure(const char* body, ResultCode code,
                            const std::vector<std::string>& log) {
    ClearLog();
    ScriptedPeer peer{SmtpServer()};
    EXPECT_EQ(RunWith(peer, body), code);
    const std::string transcript = peer.Transcript();
    EXPECT_EQ(Log(), StoredLog(log));
    ExpectAllReleased();
    return transcript;
  }
};

TEST_F(MailFailuresTest, AFailedSendOfEachItemGivesItsLineAndCode) {
  FullSettings();
  // Each row fails the send that carries its item (the delimiter line is
  // sent twice, before the text and before the attachment).
  struct Row {
    const char* item;
    const char* send;
    int nth;
    std::string line;
    ResultCode code;
  } rows[] = {
      {"Reply-To", "Reply-To: ", 1, "SMTP SND : Header Snd Ng-061\r\n", -4},
      {"From", "From: ", 1, "SMTP SND : Header Snd Ng-062\r\n", -4},
      {"To", "To: ", 1, "SMTP SND : Header Snd Ng-063\r\n", -4},
      {"Cc", "Cc: ", 1, "SMTP SND : Header Snd Ng-064\r\n", -29},
      {"Subject", "Subject: ", 1, "SMTP SND : Header Snd Ng-068\r\n", -4},
      {"MIME-Version", "MIME-Version: ", 1, "SMTP SND : Header Snd Ng-071\r\n", -4},
      {"Date", "Date: ", 1, "SMTP SND : Header Snd Ng-072\r\n", -4},
      {"Message-Id", "Message-Id: ", 1, "SMTP SND : Header Snd Ng-074\r\n", -4},
      {"X-Mailer", "X-Mailer: ", 1, "SMTP SND : Header Snd Ng-075\r\n", -4},
      {"multipart Content-Type", "Content-Type: multipart/mixed;", 1,
       "SMTP SND : Header Snd Ng-077\r\n", -4},
      {"boundary parameter", " boundary=", 1, "SMTP SND : Header Snd Ng-078\r\n", -4},
      {"preamble", "\r\nThis is a multi-part", 1, "SMTP SND : Header Snd Ng-079\r\n", -4},
      {"text delimiter", "\r\n--+-+-+-b-+-+-+\r\n", 1, "SMTP SND : Header Snd Ng-080\r\n", -4},
      {"text Content-Type", "Content-Type: text/plain; charset", 1,
       "SMTP SND : Header Snd Ng-081r\n", -4},
      {"text Content-Transfer-Encoding", "Content-Transfer-Encoding: 7bit", 1,
       "SMTP SND : Header Snd Ng-082\r\n", -4},
      {"blank line before the text", "\r\n", 1, "SMTP SND : Header Snd Ng-083\r\n", -4},
      {"body text", "Hi", 1, "SMTP SND : Text Snd Ng-085\r\n", -4},
      {"attachment delimiter", "\r\n--+-+-+-b-+-+-+\r\n", 2, "SMTP SND : Header Snd Ng-086\r\n",
       -4},
      {"attachment Content-Type", "Content-Type: text/plain; name=", 1,
       "SMTP SND : Header Snd Ng-087\r\n", -4},
      {"Content-Disposition", "Content-Disposition: ", 1, "SMTP SND : Header Snd Ng-088\r\n", -4},
      {"Content-Description", "Content-Description: ", 1, "SMTP SND : Header Snd Ng-089\r\n", -4},
      {"attachment Content-Transfer-Encoding", "Content-Transfer-Encoding: base64", 1,
       "SMTP SND : Header Snd Ng-090\n", -4},
      {"attachment data line", "eHh4", 1, "SMTP SND : Image Dat Snd Ng-094\n", -4},
      {"closing line and end marker", "\r\n--+-+-+-b-+-+-+--", 1,
       "SMTP SND : Mail Snd End Snd Ng-095\n", -4},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.item);
    platform_.FailSendOf(row.send, 10054, row.nth);
    ExpectFailure("Hi", row.code, {kSendNg, row.line});
  }
}

TEST_F(MailFailuresTest, SinglePartItemsOfTheirOwn) {
  g_mailSettings.Subject[0] = '\0';
  g_mailSettings.X_MailerName[0] = '\0';
  platform_.FailSendOf("Subject:", 10054);
  ExpectFailure("", -4, {kSendNg, "SMTP SND : Header Snd Ng-070\r\n"});
  platform_.FailSendOf("\r\n\r\n.\r\n", 10054);  // the end marker alone
  ExpectFailure("", -4, {kSendNg, "SMTP SND : Mail Snd End Snd Ng-095\n"});
}

TEST_F(MailFailuresTest, NoMemoryForSubjectOrBody) {
  // Allocations in order: Subject copy, encoded Subject, the two blocks of
  // the encoding itself, the converted body.
  struct Row {
    int allocation;
    ResultCode code;
    std::string line;
  } rows[] = {
      {1, -26, "SMTP SND : Title Buffer Get Ng-065\r\n"},
      {2, -26, "SMTP SND : Title Send Buffer Get Ng-066\r\n"},
      {3, -26, "SMTP SND : Title Encode Ng-067\r\n"},
      {4, -26, "SMTP SND : Title Encode Ng-067\r\n"},
      {5, -25, "SMTP SND : Text Buffer Get Ng-084\r\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    platform_.FailNth(Call::kAllocate, row.allocation);
    ExpectFailure("Hi", row.code, {row.line});
  }
}

TEST_F(MailFailuresTest, AttachmentThatCannotBeOpenedPositionedOrRead) {
  const std::string file = File("data.bin");
  testing::WriteFileBytes(file, std::string(55, 'y'));  // one read with data, one at the end
  SetField(g_mailSettings.AppendFile, file);
  const std::string header = "Content-Transfer-Encoding: base64\r\n\r\n";
  // What was read before a failed read still goes out.
  const std::string lines = testing::ReferenceBase64(std::string(54, 'y')) + "\r\neQ==\r\n";
  struct Row {
    Call call;
    int nth;
    std::string line;
    std::string tail;  // the end of what the server received
  } rows[] = {
      {Call::kOpenFile, 1, "SMTP SND : Image File Open Ng-091\n", header},
      {Call::kSeek, 1, "SMTP SND : Image File Pointer Move Ng-092\n", header},
      {Call::kRead, 1, "SMTP SND : Image File Read Ng-093\n", header},
      {Call::kRead, 2, "SMTP SND : Image File Read Ng-093\n", header + lines},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    platform_.FailNth(row.call, row.nth);
    const std::string transcript = ExpectFailure("", -11, {row.line});
    ASSERT_GE(transcript.size(), row.tail.size());
    EXPECT_EQ(transcript.substr(transcript.size() - row.tail.size()), row.tail);
  }
}

}  // namespace
}  // namespace mail_tests
}  // namespace tarnlet
