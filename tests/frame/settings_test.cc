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

// The keys of an INI file in its order; the file and the record it must
// load into are both made from them.
struct Key {
  const char* section;
  const char* name;
  std::string value;  // as the file holds it
  bool record;        // the value belongs in the record
  std::size_t offset;
  std::size_t width;  // 0: a number
};
#define TARNLET_TEXT_KEY(section, member, value) \
  { section, #member, value, true, offsetof(MailSettings, member), sizeof(MailSettings::member) }
#define TARNLET_NUMBER_KEY(section, member, value) \
  { section, #member, #value, true, offsetof(MailSettings, member), 0 }
#define TARNLET_DECOY_KEY(section, name, value) \
  { section, name, value, false, 0, 0 }
// Every key, sections in another order than the loader's table, and decoys
// (record false): names in sections where they do not belong.
const std::vector<Key> kFullKeys = {
    TARNLET_TEXT_KEY("FILE", AppendFile, "C:\\data\\a.pdf;b.txt"),
    TARNLET_TEXT_KEY("FILE", Log, "C:\\logs\\mail.log"),
    TARNLET_TEXT_KEY("ETC", Boundary, "bnd"),
    TARNLET_TEXT_KEY("ETC", X_MailerName, "Mailer 1.0"),
    TARNLET_TEXT_KEY("ETC", MyHostFQDNName, "client.example.jp"),
    TARNLET_TEXT_KEY("ETC", MyMailAddress, "from@example.jp"),
    TARNLET_TEXT_KEY("ETC", MyMailAddressComt, "\xb6\xc0\xb6\xc5"),  // ｶﾀｶﾅ in Shift-JIS
    TARNLET_DECOY_KEY("ETC", "Log", "decoy.log"),
    TARNLET_DECOY_KEY("ETC", "Kind", "1"),
    TARNLET_TEXT_KEY("SEND", Address, "a@example.jp;b@example.jp"),
    TARNLET_TEXT_KEY("SEND", Cc, "c@example.jp"),
    TARNLET_TEXT_KEY("SEND", Bcc, "d@example.jp"),
    TARNLET_TEXT_KEY("SEND", Subject, "\x83\x65\x83\x58\x83\x67"),  // テスト in Shift-JIS
    TARNLET_TEXT_KEY("SEND", sReply_To, "reply@example.jp"),
    TARNLET_DECOY_KEY("SEND", "Startup", "0"),
    TARNLET_NUMBER_KEY("AUTH", Kind, 2),
    TARNLET_NUMBER_KEY("AUTH", APOP, 1),
    TARNLET_TEXT_KEY("AUTH", UserName, "user1"),
    TARNLET_TEXT_KEY("AUTH", Password, "p@ss"),
    TARNLET_NUMBER_KEY("AUTH", SMTPPortNo, 587),
    TARNLET_NUMBER_KEY("AUTH", POP3PortNo, 110),
    TARNLET_TEXT_KEY("AUTH", SMTPServerAddress, "smtp.example.jp"),
    TARNLET_TEXT_KEY("AUTH", POP3ServerAddress, "192.168.1.10"),
    TARNLET_NUMBER_KEY("INIT", Startup, 1),
};

std::string IniOf(const std::vector<Key>& keys) {
  std::string ini;
  const char* section = "";
  for (const Key& key : keys) {
    if (std::strcmp(section, key.section) != 0) ini += "[" + std::string(key.section) + "]\n";
    section = key.section;
    ini += std::string(key.name) + "=" + key.value + "\n";
  }
  return ini;
}

MailSettings RecordOf(const std::vector<Key>& keys) {
  MailSettings r;
  std::memset(&r, 0, sizeof r);
  char* bytes = reinterpret_cast<char*>(&r);
  for (const Key& key : keys) {
    if (!key.record) continue;
    if (key.width != 0) {
      SetField(bytes + key.offset, key.width, key.value);
    } else {
      const std::uint16_t number = static_cast<std::uint16_t>(std::stoi(key.value));
      std::memcpy(bytes + key.offset, &number, sizeof number);
    }
  }
  return r;
}

TEST(IniLoaderTest, EveryKeyLandsInItsField) {
  TempDir dir;
  const std::string ini = dir.File("full.ini");
  WriteFileBytes(ini, IniOf(kFullKeys));
  std::memset(&g_mailSettings, 0, sizeof g_mailSettings);
  EXPECT_EQ(LoadIniSettings(ini.c_str(), IniFieldTable, kIniFieldCount), 1);
  ExpectSameRecord(RecordOf(kFullKeys), g_mailSettings);
}

TEST(IniLoaderTest, IniCallZeroesWhatTheFileLacks) {
  FrameCall call;
  MailSettings full = RecordOf(kFullKeys);
  full.Kind = 3;  // fails validation: no network work
  SetField(full.Log, "");
  ASSERT_EQ(Tarnlet1("", &full), -30);

  const std::vector<Key> part = {
      TARNLET_NUMBER_KEY("INIT", Startup, 1),
      TARNLET_TEXT_KEY("AUTH", SMTPServerAddress, "s.example.jp"),
      TARNLET_TEXT_KEY("AUTH", POP3ServerAddress, "p.example.jp"),
      TARNLET_TEXT_KEY("SEND", Bcc, "d@example.jp"),
      TARNLET_TEXT_KEY("SEND", Cc, ""),
      TARNLET_TEXT_KEY("ETC", MyHostFQDNName, "h.example.jp"),
      TARNLET_TEXT_KEY("ETC", MyMailAddress, "f@example.jp"),
  };
  const std::string ini = call.dir.File("part.ini");
  WriteFileBytes(ini, IniOf(part));
  EXPECT_EQ(Tarnlet2("", ini.c_str()), -27);
  ExpectSameRecord(RecordOf(part), g_mailSettings);
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
    FrameCall call;
    // On the heap, where reading past its end is caught.
    auto record = std::make_unique<MailSettings>(call.record);
    std::memset(reinterpret_cast<char*>(record.get()) + field.offset, 'a', field.width);

    EXPECT_EQ(Tarnlet1("body", record.get()), -30);
    EXPECT_EQ(call.platform.startups(), 0);
    if (std::strcmp(field.name, "Log") == 0) {
      EXPECT_EQ(call.platform.logAppends(), 0) << "a Log field without its end names no file";
    } else {
      EXPECT_EQ(ReadFileBytes(call.log), kBadSettingsLine);
    }
  }
}

TEST(RecordSafetyTest, RecipientCheckReadsOnlyTheFirstByte) {
  FrameCall call(0);
  auto record = std::make_unique<MailSettings>(call.record);
  SetField(record->Address, "");
  std::memset(record->Bcc, 'b', sizeof record->Bcc);
  EXPECT_EQ(Tarnlet1("body", record.get()), -30);
  EXPECT_EQ(ReadFileBytes(call.log), kBadSettingsLine);
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
      FrameCall call;
      const std::string value =
          std::string("x@example.com") + lineEnd.bytes + "RCPT TO:<y@example.com>";
      SetField(reinterpret_cast<char*>(&call.record) + field.offset, field.width, value);

      EXPECT_EQ(Tarnlet1("body", &call.record), -30);
      EXPECT_EQ(ReadFileBytes(call.log), kBadSettingsLine);
      EXPECT_EQ(call.platform.startups(), 0);
    }
  }
}

// The Subject and the sender comment always travel as encoded words, so
// their bytes are not restricted.
TEST(RecordSafetyTest, EncodedFieldsMayHoldLineEnds) {
  FrameCall call;
  SetField(call.record.Subject, "one\r\ntwo");
  SetField(call.record.MyMailAddressComt, "a\nb");
  EXPECT_EQ(Tarnlet1("body", &call.record), -27);
  EXPECT_EQ(ReadFileBytes(call.log), kStartupLine);
}

#undef TARNLET_TEXT_KEY
#undef TARNLET_NUMBER_KEY
#undef TARNLET_DECOY_KEY

}  // namespace
}  // namespace testing
}  // namespace tarnlet
