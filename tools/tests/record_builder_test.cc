// Options of "tarnlet send" into the record, and the field table behind it.
#include "record_builder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

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

std::string Text(const MailSettings& settings, const char* field) {
  return TextOf(settings, FieldNamed(field));
}

TEST(RecordFields, FollowTheLoaderTableAndCoverTheRecord) {
  ASSERT_EQ(kRecordFieldCount, kIniFieldCount);
  std::size_t end = 0;
  for (std::size_t i = 0; i < kRecordFieldCount; ++i) {
    const RecordField& field = kRecordFields[i];
    EXPECT_STREQ(field.name, IniFieldTable[i].key) << i;
    EXPECT_STREQ(field.section, IniFieldTable[i].section) << i;
    EXPECT_EQ(field.offset, IniFieldTable[i].offset) << field.name;
    EXPECT_EQ(field.offset, end) << field.name << " leaves a gap or overlaps";
    EXPECT_EQ(field.width == 2, field.type != FieldType::kText) << field.name;
    end = field.offset + field.width;
  }
  EXPECT_EQ(end, sizeof(MailSettings));
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
  EXPECT_EQ(s.Startup, 1);
  EXPECT_EQ(s.Kind, 1);
  EXPECT_EQ(s.APOP, 1);
  EXPECT_EQ(s.SMTPPortNo, 587);
  EXPECT_EQ(s.POP3PortNo, 995);
  EXPECT_EQ(Text(s, "UserName"), "user");
  EXPECT_EQ(Text(s, "Password"), "pass word");
  EXPECT_EQ(Text(s, "SMTPServerAddress"), "smtp.example.jp");
  EXPECT_EQ(Text(s, "POP3ServerAddress"), "pop.example.jp");
  EXPECT_EQ(Text(s, "Address"), "a@example.jp;b@example.jp");
  EXPECT_EQ(Text(s, "Cc"), "c@example.jp");
  EXPECT_EQ(Text(s, "Bcc"), "d@example.jp;e@example.jp");
  EXPECT_EQ(Text(s, "Subject"), "\x8c\x8f\x96\xbc");
  EXPECT_EQ(Text(s, "sReply_To"), "r@example.jp");
  EXPECT_EQ(Text(s, "Boundary"), "b0undary");
  EXPECT_EQ(Text(s, "X_MailerName"), "mailer 1.0");
  EXPECT_EQ(Text(s, "MyHostFQDNName"), "client.example.jp");
  EXPECT_EQ(Text(s, "MyMailAddress"), "me@example.jp");
  EXPECT_EQ(Text(s, "MyMailAddressComt"), "\x91\x97\x90\x4d\x8e\xd2");
  EXPECT_EQ(Text(s, "AppendFile"), "");
  EXPECT_EQ(Text(s, "Log"), "");
}

TEST(BuildRecord, DefaultsMakeAValidPlainSmtpRecord) {
  SendOptions o;
  o.server = "127.0.0.1";
  o.from = "me@example.jp";
  AttachmentStage stage;
  MailSettings s = BuildRecord(o, "UTF-8", &stage);
  EXPECT_EQ(s.Kind, 0);
  EXPECT_EQ(s.APOP, 0);
  EXPECT_EQ(s.SMTPPortNo, 25);
  EXPECT_EQ(s.POP3PortNo, 110);
  EXPECT_EQ(Text(s, "POP3ServerAddress"), "127.0.0.1") << "validation wants one";
  EXPECT_EQ(Text(s, "MyHostFQDNName"), "localhost");
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
  EXPECT_EQ(Text(s, "Subject").size(), 255u);
  EXPECT_EQ(Text(s, "Address").size(), 1023u);
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
      {dir.File("a b.txt"), kExitData, "drops spaces"},
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

TEST(AttachmentStage, PassesAPlainPathUnchanged) {
  TempDir dir;
  WriteFileBytes(dir.File("report"), "data");
  std::string path;
  ASSERT_TRUE(LibraryPathFromArgument(dir.File("report"), &path));
  if (path.find('.') != std::string::npos) GTEST_SKIP() << "the temporary folder holds '.'";
  AttachmentStage stage;
  EXPECT_EQ(stage.Add(dir.File("report"), "UTF-8"), path);
  EXPECT_TRUE(stage.warnings().empty());
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
