// The INI loader and the checks of the settings record.
#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "frame/settings.h"
#include "frame_test_platform.h"
#include "support/fault_platform.h"
#include "support/test_files.h"

namespace tarnlet {
namespace testing {
namespace {

std::string Text(const char* field, std::size_t width) {
  const void* end = std::memchr(field, '\0', width);
  return std::string(field, end != nullptr ? static_cast<const char*>(end) - field : width);
}

template <typename T>
void ExpectSameField(T expected, T actual, const char* name) {
  EXPECT_EQ(expected, actual) << name;
}

template <std::size_t N>
void ExpectSameField(const char (&expected)[N], const char (&actual)[N], const char* name) {
  EXPECT_EQ(Text(expected, N), Text(actual, N)) << name;
}

void ExpectSameRecord(const MailSettings& expected, const MailSettings& actual) {
#define TARNLET_EXPECT_FIELD(member, ...) ExpectSameField(expected.member, actual.member, #member);
  TARNLET_SETTINGS_FIELDS(TARNLET_EXPECT_FIELD)
#undef TARNLET_EXPECT_FIELD
  // Also what follows the NULs: the rest of every field stays zero.
  EXPECT_EQ(std::memcmp(&expected, &actual, sizeof expected), 0);
}

// テスト and ｶﾀｶﾅ in Shift-JIS.
const char kSjisSubject[] = "\x83\x65\x83\x58\x83\x67";
const char kSjisComment[] = "\xb6\xc0\xb6\xc5";

// Every key, sections in a different order than the table, and decoys: the
// same key names in sections where they do not belong.
std::string FullIni() {
  return std::string(
             "[FILE]\nAppendFile=C:\\data\\a.pdf;b.txt\nLog=C:\\logs\\mail.log\n"
             "[ETC]\nBoundary=bnd\nX_MailerName=Mailer 1.0\nMyHostFQDNName=client.example.jp\n"
             "MyMailAddress=from@example.jp\nMyMailAddressComt=") +
         kSjisComment +
         "\nLog=decoy.log\nKind=1\n"
         "[SEND]\nAddress=a@example.jp;b@example.jp\nCc=c@example.jp\nBcc=d@example.jp\n"
         "Subject=" +
         kSjisSubject +
         "\nsReply_To=reply@example.jp\nStartup=0\n"
         "[AUTH]\nKind=2\nAPOP=1\nUserName=user1\nPassword=p@ss\nSMTPPortNo=587\n"
         "POP3PortNo=110\nSMTPServerAddress=smtp.example.jp\n"
         "POP3ServerAddress=192.168.1.10\n"
         "[INIT]\nStartup=1\n";
}

MailSettings FullRecord() {
  MailSettings r;
  std::memset(&r, 0, sizeof r);
  r.Startup = 1;
  r.Kind = 2;
  r.APOP = 1;
  SetField(r.UserName, "user1");
  SetField(r.Password, "p@ss");
  r.SMTPPortNo = 587;
  r.POP3PortNo = 110;
  SetField(r.SMTPServerAddress, "smtp.example.jp");
  SetField(r.POP3ServerAddress, "192.168.1.10");
  SetField(r.Address, "a@example.jp;b@example.jp");
  SetField(r.Cc, "c@example.jp");
  SetField(r.Bcc, "d@example.jp");
  SetField(r.Subject, kSjisSubject);
  SetField(r.sReply_To, "reply@example.jp");
  SetField(r.Boundary, "bnd");
  SetField(r.X_MailerName, "Mailer 1.0");
  SetField(r.MyHostFQDNName, "client.example.jp");
  SetField(r.MyMailAddress, "from@example.jp");
  SetField(r.MyMailAddressComt, kSjisComment);
  SetField(r.AppendFile, "C:\\data\\a.pdf;b.txt");
  SetField(r.Log, "C:\\logs\\mail.log");
  return r;
}

TEST(IniLoaderTest, EveryKeyLandsInItsField) {
  TempDir dir;
  const std::string ini = dir.File("full.ini");
  WriteFileBytes(ini, FullIni());
  std::memset(&g_mailSettings, 0, sizeof g_mailSettings);
  EXPECT_EQ(LoadIniSettings(ini.c_str(), IniFieldTable, kIniFieldCount), 1);
  ExpectSameRecord(FullRecord(), g_mailSettings);
}

TEST(IniLoaderTest, IniCallZeroesWhatTheFileLacks) {
  FramePlatform platform;
  platform.FailStartup(10091);
  ScopedPlatform installed(platform);
  TempDir dir;
  MailSettings full = FullRecord();
  full.Kind = 3;  // fails validation: no network work
  SetField(full.Log, "");
  ASSERT_EQ(Tarnlet1("", &full), -30);

  const std::string ini = dir.File("part.ini");
  WriteFileBytes(ini,
                 "[INIT]\nStartup=1\n[AUTH]\nSMTPServerAddress=s.example.jp\n"
                 "POP3ServerAddress=p.example.jp\n[SEND]\nBcc=d@example.jp\nCc=\n"
                 "[ETC]\nMyHostFQDNName=h.example.jp\nMyMailAddress=f@example.jp\n");
  EXPECT_EQ(Tarnlet2("", ini.c_str()), -27);
  MailSettings expected;
  std::memset(&expected, 0, sizeof expected);
  expected.Startup = 1;
  SetField(expected.SMTPServerAddress, "s.example.jp");
  SetField(expected.POP3ServerAddress, "p.example.jp");
  SetField(expected.Bcc, "d@example.jp");
  SetField(expected.MyHostFQDNName, "h.example.jp");
  SetField(expected.MyMailAddress, "f@example.jp");
  ExpectSameRecord(expected, g_mailSettings);
}

TEST(IniLoaderTest, ValuesAsTheTableStoresThem) {
  struct Case {
    const char* name;
    std::string line;  // in [AUTH]
    std::size_t offset;
    std::string expectedBytes;
  };
  const std::string untouched(4, '\x5a');
  const Case cases[] = {
      {"port above 16 bits keeps its low 16 bits", "SMTPPortNo=70000",
       offsetof(MailSettings, SMTPPortNo), std::string("\x70\x11", 2)},
      {"a word without digits stores 0", "SMTPPortNo=none", offsetof(MailSettings, SMTPPortNo),
       std::string("\0\0", 2)},
      {"digits then letters: the digits", "POP3PortNo=995x", offsetof(MailSettings, POP3PortNo),
       std::string("\xe3\x03", 2)},
      {"negative kind", "Kind=-1", offsetof(MailSettings, Kind), "\xff\xff"},
      {"key with an empty value leaves the field", "Kind=", offsetof(MailSettings, Kind),
       untouched},
      {"missing key leaves the field", "Other=1", offsetof(MailSettings, APOP), untouched},
      {"300 characters arrive as 255", "UserName=" + std::string(300, 'u'),
       offsetof(MailSettings, UserName), std::string(255, 'u') + '\0'},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string ini = dir.File("one.ini");
    WriteFileBytes(ini, "[AUTH]\n" + c.line + "\n");
    std::memset(&g_mailSettings, 0x5a, sizeof g_mailSettings);
    LoadIniSettings(ini.c_str(), IniFieldTable, kIniFieldCount);
    const char* at = reinterpret_cast<const char*>(&g_mailSettings) + c.offset;
    EXPECT_EQ(std::string(at, c.expectedBytes.size()), c.expectedBytes);
  }
}

TEST(IniLoaderTest, LongAddressArrivesAsItsFirst255Characters) {
  TempDir dir;
  const std::string ini = dir.File("long.ini");
  std::string address;
  while (address.size() < 300) address += "user" + std::to_string(address.size()) + "@a.jp;";
  address.resize(300);
  WriteFileBytes(ini, "[SEND]\nAddress=" + address + "\n");
  std::memset(&g_mailSettings, 0, sizeof g_mailSettings);
  LoadIniSettings(ini.c_str(), IniFieldTable, kIniFieldCount);
  EXPECT_EQ(Text(g_mailSettings.Address, sizeof g_mailSettings.Address), address.substr(0, 255));
}

// Kinds the settings table does not use, through a table of their own.
TEST(IniLoaderTest, EveryValueKind) {
  constexpr std::size_t kBase = offsetof(MailSettings, Address);
  const IniField table[] = {
      {0, "K", "int0", kBase + 0},
      {3, "K", "int3", kBase + 4},
      {4, "K", "int4", kBase + 8},
      {1, "K", "short1", kBase + 12},
      {5, "K", "double", kBase + 16},
      {7, "K", "char", kBase + 24},
      {8, "K", "flagOn", kBase + 28},
      {8, "K", "flagZero", kBase + 32},
      {8, "K", "flagWord", kBase + 36},
      {9, "K", "unknown", kBase + 40},
      {-1, "K", "negative", kBase + 44},
      {6, "K", "text", kBase + 48},
      {0, "K", "outside", sizeof(MailSettings) - 2},
      {6, "K", "notCounted", kBase + 60},
  };
  TempDir dir;
  const std::string ini = dir.File("kinds.ini");
  WriteFileBytes(ini,
                 "[K]\nint0=-123456\nint3=70000\nint4=2147483647\nshort1=70000\n"
                 "double=2.5\nchar=xyz\nflagOn=7\nflagZero=0\nflagWord=abc\nunknown=5\n"
                 "negative=5\ntext=hi\noutside=1\nnotCounted=1\n");
  std::memset(&g_mailSettings, 0x5a, sizeof g_mailSettings);
  const std::size_t rows = sizeof table / sizeof table[0] - 1;
  EXPECT_EQ(LoadIniSettings(ini.c_str(), table, rows), 1);

  auto bytes = [](std::size_t offset, std::size_t size) {
    return std::string(reinterpret_cast<const char*>(&g_mailSettings) + offset, size);
  };
  auto int32 = [](std::int32_t v) { return std::string(reinterpret_cast<char*>(&v), 4); };
  const double half = 2.5;
  EXPECT_EQ(bytes(kBase + 0, 4), int32(-123456));
  EXPECT_EQ(bytes(kBase + 4, 4), int32(70000)) << "32-bit kinds keep all bits";
  EXPECT_EQ(bytes(kBase + 8, 4), int32(2147483647));
  EXPECT_EQ(bytes(kBase + 12, 4), std::string("\x70\x11\x5a\x5a", 4));
  EXPECT_EQ(bytes(kBase + 16, 8), std::string(reinterpret_cast<const char*>(&half), 8));
  EXPECT_EQ(bytes(kBase + 24, 4), "x\x5a\x5a\x5a");
  EXPECT_EQ(bytes(kBase + 28, 4), int32(1));
  EXPECT_EQ(bytes(kBase + 32, 4), int32(0));
  EXPECT_EQ(bytes(kBase + 36, 4), int32(0));
  EXPECT_EQ(bytes(kBase + 40, 8), std::string(8, '\x5a')) << "unknown kinds store nothing";
  EXPECT_EQ(bytes(kBase + 48, 4), std::string("hi\0\x5a", 4));
  EXPECT_EQ(bytes(sizeof(MailSettings) - 2, 2), "\x5a\x5a") << "no write past the record";
  EXPECT_EQ(bytes(kBase + 60, 2), "\x5a\x5a") << "only rowCount rows are read";
}

struct TextField {
  const char* name;
  std::size_t offset;
  std::size_t width;
};
#define TARNLET_FIELD(f) \
  { #f, offsetof(MailSettings, f), sizeof(MailSettings::f) }

// A record from the host whose text field fills its whole width: nothing is
// read past the record (the record ends its heap block, so a sanitizer sees
// any overread) and the call fails validation.
TEST(RecordSafetyTest, TextFieldWithoutNulFailsValidation) {
  const TextField fields[] = {
      TARNLET_FIELD(UserName),
      TARNLET_FIELD(Password),
      TARNLET_FIELD(SMTPServerAddress),
      TARNLET_FIELD(POP3ServerAddress),
      TARNLET_FIELD(Address),
      TARNLET_FIELD(Cc),
      TARNLET_FIELD(Bcc),
      TARNLET_FIELD(Subject),
      TARNLET_FIELD(sReply_To),
      TARNLET_FIELD(Boundary),
      TARNLET_FIELD(X_MailerName),
      TARNLET_FIELD(MyHostFQDNName),
      TARNLET_FIELD(MyMailAddress),
      TARNLET_FIELD(MyMailAddressComt),
      TARNLET_FIELD(AppendFile),
      TARNLET_FIELD(Log),
  };
  for (const TextField& field : fields) {
    SCOPED_TRACE(field.name);
    FramePlatform platform;
    platform.FailStartup(10091);
    ScopedPlatform installed(platform);
    TempDir dir;
    const std::string log = dir.File("mail.log");
    auto record = std::make_unique<MailSettings>(BaseSettings(25, log, "mail.invalid"));
    std::memset(reinterpret_cast<char*>(record.get()) + field.offset, 'a', field.width);

    EXPECT_EQ(Tarnlet1("body", record.get()), -30);
    EXPECT_EQ(platform.startups(), 0);
    if (std::strcmp(field.name, "Log") == 0) {
      EXPECT_EQ(platform.logAppends(), 0) << "a Log field without its end names no file";
    } else {
      EXPECT_EQ(ReadFileBytes(log), kBadSettingsLine);
    }
  }
}

TEST(RecordSafetyTest, RecipientCheckReadsOnlyTheFirstByte) {
  FramePlatform platform;
  ScopedPlatform installed(platform);
  TempDir dir;
  const std::string log = dir.File("mail.log");
  auto record = std::make_unique<MailSettings>(BaseSettings(25, log, "mail.invalid"));
  SetField(record->Address, "");
  std::memset(record->Bcc, 'b', sizeof record->Bcc);
  EXPECT_EQ(Tarnlet1("body", record.get()), -30);
  EXPECT_EQ(ReadFileBytes(log), kBadSettingsLine);
}

// Fields that reach the wire as they are must not carry a line end: it
// would smuggle a command or a header line of its own.
TEST(RecordSafetyTest, LineEndInOnWireFieldFailsValidation) {
  const TextField fields[] = {
      TARNLET_FIELD(MyMailAddress),
      TARNLET_FIELD(Address),
      TARNLET_FIELD(Cc),
      TARNLET_FIELD(Bcc),
      TARNLET_FIELD(sReply_To),
      TARNLET_FIELD(X_MailerName),
      TARNLET_FIELD(MyHostFQDNName),
      TARNLET_FIELD(Boundary),
      TARNLET_FIELD(UserName),
      TARNLET_FIELD(Password),
      TARNLET_FIELD(AppendFile),
  };
  const struct {
    const char* name;
    const char* bytes;
  } lineEnds[] = {{"CR", "\r"}, {"LF", "\n"}, {"CR LF", "\r\n"}};
  for (const TextField& field : fields) {
    for (const auto& lineEnd : lineEnds) {
      SCOPED_TRACE(std::string(field.name) + " with " + lineEnd.name);
      FramePlatform platform;
      platform.FailStartup(10091);
      ScopedPlatform installed(platform);
      TempDir dir;
      const std::string log = dir.File("mail.log");
      MailSettings record = BaseSettings(25, log, "mail.invalid");
      const std::string value =
          std::string("x@example.com") + lineEnd.bytes + "RCPT TO:<y@example.com>";
      SetField(reinterpret_cast<char*>(&record) + field.offset, field.width, value);

      EXPECT_EQ(Tarnlet1("body", &record), -30);
      EXPECT_EQ(ReadFileBytes(log), kBadSettingsLine);
      EXPECT_EQ(platform.startups(), 0);
    }
  }
}

// The Subject and the sender comment always travel as encoded words, so
// their bytes are not restricted.
TEST(RecordSafetyTest, EncodedFieldsMayHoldLineEnds) {
  FramePlatform platform;
  platform.FailStartup(10091);
  ScopedPlatform installed(platform);
  TempDir dir;
  const std::string log = dir.File("mail.log");
  MailSettings record = BaseSettings(25, log, "mail.invalid");
  SetField(record.Subject, "one\r\ntwo");
  SetField(record.MyMailAddressComt, "a\nb");
  EXPECT_EQ(Tarnlet1("body", &record), -27);
  EXPECT_EQ(ReadFileBytes(log), kStartupLine);
}

}  // namespace
}  // namespace testing
}  // namespace tarnlet
