// Options of "tarnlet send" into the record, and the field table behind it.
#include "record_builder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <regex>

#include "attachment_stage.h"
#include "frame/settings.h"
#include "record_fields.h"
#include "support/test_files.h"
#include "system/tool_support.h"
#include "tool_error.h"

namespace tarnlet {
namespace tool {
namespace {

using ::tarnlet::testing::ReadFileBytes;
using ::tarnlet::testing::TempDir;
using ::tarnlet::testing::WriteFileBytes;
using ::testing::HasSubstr;

std::string Text(const MailSettings& settings, Field field) {
  return TextOf(settings, FieldOf(field));
}

// The record's numbers, as "Startup Kind APOP SMTPPortNo POP3PortNo".
std::string Numbers(const MailSettings& s) {
  std::string text;
  for (int n : {int{s.Startup}, int{s.Kind}, int{s.APOP}, int{s.SMTPPortNo}, int{s.POP3PortNo}}) {
    text += (text.empty() ? "" : " ") + std::to_string(n);
  }
  return text;
}

// The field table of the settings page, row by row as the field list
// describes it; on a difference the whole expected table is printed, ready
// to paste.
TEST(RecordFields, AreTheFieldTableOfTheSettingsPage) {
  const std::string page = ReadFileBytes(TARNLET_SOURCE_DIR "/docs/settings.md");
  const std::string head = "| Offset | Width | Field (= INI key) | INI section | Meaning |\n";
  std::size_t at = page.find(head);
  ASSERT_NE(at, std::string::npos) << "the settings page has no field table";
  at = page.find('\n', at + head.size()) + 1;  // past the alignment row
  std::string expected;
  std::string sentAsWritten;
  std::size_t texts = 0;
  for (const RecordField& field : kRecordFields) {
    if (field.type == FieldType::kText) ++texts;
    expected += "| " + std::to_string(field.offset) + " | " + std::to_string(field.width) + " | `" +
                field.name + "` | " + field.section + " | " + field.meaning + " |\n";
    if (field.sent != WireForm::kAsWritten) continue;
    sentAsWritten += std::string(sentAsWritten.empty() ? "" : ", ") + "`" + field.name + "`";
  }
  EXPECT_EQ(page.substr(at, expected.size() + 1), expected + "\n") << "expected table:\n"
                                                                   << expected;

  // The validation section's prose, its line breaks taken out.
  const std::string flat = std::regex_replace(page, std::regex("\n +"), " ");
  for (const RecordField& field : kRecordFields) {
    if (field.presence != Presence::kRequired) continue;
    EXPECT_NE(flat.find(std::string("- `") + field.name + "` is empty"), std::string::npos)
        << field.name;
  }
  const std::string lead = "holds a CR or LF: ";
  at = flat.find(lead);
  ASSERT_NE(at, std::string::npos);
  at += lead.size();
  EXPECT_EQ(flat.substr(at, flat.find('.', at) - at), sentAsWritten);
  const std::string limits[] = {
      std::to_string(kFieldCount - texts) + " × 2 bytes of integers and " + std::to_string(texts) +
          " text fields",
      "at most **" + std::to_string(kIniValueBufferSize - 1) + " bytes**",
      "more than " + std::to_string(kMaxBoundaryWord) + " bytes",
  };
  for (const std::string& limit : limits) EXPECT_NE(flat.find(limit), std::string::npos) << limit;
  EXPECT_THAT(FieldOf(Field::kBoundary).meaning,
              HasSubstr("most " + std::to_string(kMaxBoundaryWord) + " bytes"));
}

TEST(BuildRecord, FillsEveryFieldFromItsOption) {
  SendOptions o;
  o.server = "smtp.example.jp";
  o.port = 587;
  o.from = "me@example.jp";
  o.fromName = "送信者";
  o.to = {"a@example.jp", "b@example.jp"};
  o.cc = {"c@example.jp"};
  o.bcc = {"d@example.jp;e@example.jp"};
  o.replyTo = "r@example.jp";
  o.subject = "件名";
  o.auth = "cram-md5";
  o.user = "user";
  o.password = "pass word";
  o.popServer = "pop.example.jp";
  o.popPort = 995;
  o.apop = true;
  o.hostName = "client.example.jp";
  o.xMailer = "mailer 1.0";
  o.boundary = "b0undary";
  AttachmentStage stage;
  MailSettings s = BuildRecord(o, "UTF-8", &stage);
  EXPECT_EQ(Numbers(s), "1 1 1 587 995");
  EXPECT_EQ(Text(s, Field::kUserName), "user");
  EXPECT_EQ(Text(s, Field::kPassword), "pass word");
  EXPECT_EQ(Text(s, Field::kSMTPServerAddress), "smtp.example.jp");
  EXPECT_EQ(Text(s, Field::kPOP3ServerAddress), "pop.example.jp");
  EXPECT_EQ(Text(s, Field::kAddress), "a@example.jp;b@example.jp");
  EXPECT_EQ(Text(s, Field::kCc), "c@example.jp");
  EXPECT_EQ(Text(s, Field::kBcc), "d@example.jp;e@example.jp");
  EXPECT_EQ(Text(s, Field::kSubject), "\x8c\x8f\x96\xbc");
  EXPECT_EQ(Text(s, Field::ksReply_To), "r@example.jp");
  EXPECT_EQ(Text(s, Field::kBoundary), "b0undary");
  EXPECT_EQ(Text(s, Field::kX_MailerName), "mailer 1.0");
  EXPECT_EQ(Text(s, Field::kMyHostFQDNName), "client.example.jp");
  EXPECT_EQ(Text(s, Field::kMyMailAddress), "me@example.jp");
  EXPECT_EQ(Text(s, Field::kMyMailAddressComt), "\x91\x97\x90\x4d\x8e\xd2");
  EXPECT_EQ(Text(s, Field::kAppendFile), "");
  EXPECT_EQ(Text(s, Field::kLog), "");
}

TEST(BuildRecord, DefaultsMakeAValidPlainSmtpRecord) {
  SendOptions o;
  o.server = "127.0.0.1";
  o.from = "me@example.jp";
  AttachmentStage stage;
  MailSettings s = BuildRecord(o, "UTF-8", &stage);
  EXPECT_EQ(Numbers(s), "1 0 0 25 110");
  EXPECT_EQ(Text(s, Field::kPOP3ServerAddress), "127.0.0.1") << "validation wants one";
  EXPECT_EQ(Text(s, Field::kMyHostFQDNName), "localhost");
  o.auth = "pop";
  EXPECT_EQ(BuildRecord(o, "UTF-8", &stage).Kind, 2);
}

std::string Kanji(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += "漢";
  return text;
}

struct TooLong {
  std::string SendOptions::*member;
  std::string value;
  const char* message;
};

TEST(BuildRecord, RefusesValuesLongerThanTheirFieldsByName) {
  const TooLong cases[] = {
      {&SendOptions::subject, std::string(256, 's'),
       "--subject: 256 bytes in Shift-JIS; Subject holds at most 255"},
      // 384 bytes of UTF-8 but 256 of Shift-JIS: the record's bytes count.
      {&SendOptions::subject, Kanji(128),
       "--subject: 256 bytes in Shift-JIS; Subject holds at most 255"},
      {&SendOptions::server, std::string(300, 'h'),
       "--server: 300 bytes in Shift-JIS; SMTPServerAddress holds at most 255"},
      {&SendOptions::fromName, std::string(256, 'n'),
       "--from-name: 256 bytes in Shift-JIS; MyMailAddressComt holds at most 255"},
  };
  for (const TooLong& c : cases) {
    SendOptions o;
    o.server = "127.0.0.1";
    o.from = "me@example.jp";
    o.*(c.member) = c.value;
    AttachmentStage stage;
    try {
      BuildRecord(o, "UTF-8", &stage);
      ADD_FAILURE() << c.message << ": accepted";
    } catch (const ToolError& e) {
      EXPECT_EQ(e.exitStatus(), kExitData);
      EXPECT_STREQ(e.what(), c.message);
    }
  }
}

TEST(BuildRecord, TakesValuesThatJustFit) {
  SendOptions o;
  o.server = "127.0.0.1";
  o.from = "me@example.jp";
  o.subject = std::string(255, 's');
  o.to = {std::string(511, 't'), std::string(511, 'u')};  // 1023 bytes with the ';'
  AttachmentStage stage;
  MailSettings s = BuildRecord(o, "UTF-8", &stage);
  EXPECT_EQ(Text(s, Field::kSubject).size(), 255u);
  EXPECT_EQ(Text(s, Field::kAddress).size(), 1023u);
  o.to.push_back("v");
  EXPECT_THROW(BuildRecord(o, "UTF-8", &stage), ToolError);
}

TEST(AttachmentStage, RefusesNamesTheListCannotCarryAndMissingFiles) {
  TempDir dir;
  WriteFileBytes(dir.File("a b.txt"), "x");
  WriteFileBytes(dir.File("a;b.txt"), "x");
  AttachmentStage stage;
  struct Case {
    std::string path;
    int exitStatus;
    const char* fragment;
  } cases[] = {
      {" " + dir.File("a b.txt"), kExitData, "drops the spaces around each path"},
      {dir.File("a b.txt") + " ", kExitData, "drops the spaces around each path"},
      {dir.File("a;b.txt"), kExitData, "splits at ';'"},
      {dir.File("missing.txt"), kExitNoInput, "cannot be read"},
      {dir.path() + "/", kExitUsage, "names no file"},
  };
  for (const Case& c : cases) {
    try {
      stage.Add(c.path, "UTF-8");
      ADD_FAILURE() << c.path << ": accepted";
    } catch (const ToolError& e) {
      EXPECT_EQ(e.exitStatus(), c.exitStatus) << c.path;
      EXPECT_THAT(e.what(), HasSubstr(c.fragment)) << c.path;
    }
  }
}

TEST(AttachmentStage, PassesAPlainPathUnchangedSpacesInsideItToo) {
  TempDir dir;
  for (const char* name : {"report", "my report"}) {
    WriteFileBytes(dir.File(name), "data");
    std::string path;
    ASSERT_TRUE(LibraryPathFromArgument(dir.File(name), &path));
    if (path.find('.') != std::string::npos) GTEST_SKIP() << "the temporary folder holds '.'";
    AttachmentStage stage;
    EXPECT_EQ(stage.Add(dir.File(name), "UTF-8"), path);
    EXPECT_TRUE(stage.warnings().empty());
  }
}

TEST(AttachmentStage, LinksAwkwardPathsUnderTheirShiftJisNames) {
  TempDir dir;
  const std::string typed = dir.path() + "/./報告.txt";  // a '.' folder and a kanji name
  std::string path;
  if (!LibraryPathFromArgument(typed, &path)) GTEST_SKIP() << "the code page lacks the name";
  WriteFileBytes(path, "report bytes");
  AttachmentStage stage;
  std::string staged = stage.Add(typed, "UTF-8");
  if (staged == path) {
    // Not staged on this system: passed as typed, with a note on the type.
    EXPECT_EQ(stage.warnings().size(), 1u);
    return;
  }
  const std::string sjisName = "\x95\xf1\x8d\x90.txt";
  ASSERT_GT(staged.size(), sjisName.size());
  EXPECT_EQ(staged.substr(staged.size() - sjisName.size()), sjisName);
  EXPECT_EQ(staged.find('.'), staged.size() - 4) << "only the name's own dot: " << staged;
  EXPECT_EQ(ReadFileBytes(staged), "report bytes");
}

TEST(AttachmentStage, ADottedFolderIsLinkedAwayOrNoted) {
  TempDir dir;
  WriteFileBytes(dir.File("report.pdf"), "%PDF");
  const std::string typed = dir.path() + "/./report.pdf";
  std::string path;
  ASSERT_TRUE(LibraryPathFromArgument(typed, &path));
  std::string staged;
  {
    AttachmentStage stage;
    staged = stage.Add(typed, "UTF-8");
    if (staged == path) {
      ASSERT_EQ(stage.warnings().size(), 1u);
      EXPECT_THAT(stage.warnings()[0], HasSubstr("application/octet-stream"));
      return;
    }
    EXPECT_TRUE(stage.warnings().empty());
    EXPECT_EQ(staged.find('.'), staged.size() - 4) << staged;
    EXPECT_EQ(staged.substr(staged.size() - 11), "/report.pdf");
    EXPECT_EQ(ReadFileBytes(staged), "%PDF");
  }
  EXPECT_EQ(ReadFileBytes(staged), "") << "the link goes with the stage";
  EXPECT_EQ(ReadFileBytes(dir.File("report.pdf")), "%PDF") << "the file itself stays";
}

}  // namespace
}  // namespace tool
}  // namespace tarnlet
