// The profile reader, the same table on every system: the Windows reader
// on Windows, our own elsewhere.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "support/test_files.h"

namespace tarnlet {
namespace {

using testing::TempDir;
using testing::WriteFileBytes;

// The library reads every value through a buffer of this size.
constexpr std::size_t kLoaderBuffer = 256;

struct Probe {
  const char* section;
  const char* key;
  const char* expected;
  const char* why;
};

std::string Read(const std::string& path, const char* section, const char* key,
                 std::size_t capacity = kLoaderBuffer) {
  std::string out(capacity + 8, '\x7f');
  std::size_t length =
      NativePlatform().ReadProfileString(path.c_str(), section, key, &out[0], capacity);
  EXPECT_EQ(length, std::strlen(out.c_str())) << section << "/" << key;
  return out.substr(0, std::strlen(out.c_str()));
}

void ExpectAll(const std::string& path, const Probe* probes, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const Probe& p = probes[i];
    EXPECT_EQ(Read(path, p.section, p.key), p.expected)
        << "[" << p.section << "] " << p.key << ": " << p.why;
  }
}

// Lines end in LF here; the CR LF file below has the same rows.
const char kRules[] =
    "; a comment before any section\n"
    "Orphan=before any header\n"
    "[Auth]\n"
    "SMTPServerAddress = mail.example.test   \n"
    "  UserName=\t taro \t\n"
    "Password=\"pa ss\"\n"
    "Single='single quoted'\n"
    "Unmatched=\"open\n"
    "Mixed=\"x'\n"
    "Inner=a\"b\"c\n"
    "LoneQuote=\"\n"
    "Empty=\n"
    "Blank=   \n"
    "List=a@x.test;b@y.test ; c@z.test\n"
    "Trailer=value ; not a comment\n"
    "Equals=a=b==c\n"
    "My Key=spaced name\n"
    ";Hidden=commented out\n"
    "  ;Indented=commented out\n"
    "NoEquals\n"
    "Dup=first\n"
    "Dup=second\n"
    "\tTabbed\t=\ttabbed value\t\n"
    "Controls=\x0b\x0c\x1a value \x1a\x0c\x0b\n"
    "\n"
    "[ETC]\n"
    "Boundary=etc value\n"
    "[auth]\n"
    "Late=in a repeated section\n"
    "SMTPServerAddress=repeated\n"
    "[FILE]\n"
    "Log=c:\\logs\\mail.log";  // no line end at the end of the file

const Probe kRuleProbes[] = {
    {"AUTH", "SMTPServerAddress", "mail.example.test", "blanks around name and value"},
    {"auth", "smtpserveraddress", "mail.example.test", "names match in any case"},
    {"AUTH", "UserName", "taro", "tabs and spaces trimmed, indented key"},
    {"AUTH", "Password", "pa ss", "double quotes removed, inner space kept"},
    {"AUTH", "Single", "single quoted", "single quotes removed"},
    {"AUTH", "Unmatched", "\"open", "an unclosed quote stays"},
    {"AUTH", "Mixed", "\"x'", "different quotes stay"},
    {"AUTH", "Inner", "a\"b\"c", "quotes inside stay"},
    {"AUTH", "LoneQuote", "\"", "a lone quote stays"},
    {"AUTH", "Empty", "", "nothing after the equals sign"},
    {"AUTH", "Blank", "", "only blanks after the equals sign"},
    {"AUTH", "List", "a@x.test;b@y.test ; c@z.test", "';' inside a value is data"},
    {"AUTH", "Trailer", "value ; not a comment", "no comments after a value"},
    {"AUTH", "Equals", "a=b==c", "the first equals sign splits"},
    {"AUTH", "My Key", "spaced name", "a space inside a key name"},
    {"AUTH", "Hidden", "", "a comment line is no key"},
    {"AUTH", "Indented", "", "an indented comment line is no key"},
    {"AUTH", ";Hidden", "commented out", "no comment syntax: ';Hidden' is a key name"},
    {"AUTH", "NoEquals", "", "a line without equals sign has no value"},
    {"AUTH", "Dup", "first", "the first line of a key wins"},
    {"AUTH", "Tabbed", "tabbed value", "tabs around the equals sign"},
    {"AUTH", "Controls", "value", "VT, FF and 0x1A are blanks too"},
    {"AUTH", "Late", "", "a repeated section is not searched"},
    {"AUTH", "Missing", "", "a missing key"},
    {"ETC", "Boundary", "etc value", "a later section"},
    {"ETC", "SMTPServerAddress", "", "a key of another section"},
    {"SEND", "Address", "", "a missing section"},
    {"FILE", "Log", "c:\\logs\\mail.log", "last line without line end, backslashes kept"},
    {"", "Orphan", "before any header", "lines before the first header: the empty name"},
    {"", "Boundary", "", "the empty name is only the lines before the first header"},
};

std::string WithCrLf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

TEST(IniReader, RulesWithLfLines) {
  TempDir dir;
  WriteFileBytes(dir.File("lf.ini"), kRules);
  ExpectAll(dir.File("lf.ini"), kRuleProbes, sizeof kRuleProbes / sizeof kRuleProbes[0]);
}

TEST(IniReader, RulesWithCrLfLines) {
  TempDir dir;
  WriteFileBytes(dir.File("crlf.ini"), WithCrLf(kRules));
  ExpectAll(dir.File("crlf.ini"), kRuleProbes, sizeof kRuleProbes / sizeof kRuleProbes[0]);
}

TEST(IniReader, SectionHeadersAndLineEnds) {
  TempDir dir;
  const std::string path = dir.File("headers.ini");
  WriteFileBytes(path,
                 "  [ SEND ]  \r\n"
                 "Address=blanks in and around a header\r\n"
                 "[ETC] ; note after the header\r\n"
                 "X_MailerName=note ignored\r\n"
                 "[INIT\r\n"
                 "Startup=1\r\n"
                 "[AUTH]]\r\n"
                 "Kind=2\r\n"
                 "[FILE]\rLog=a\rAppendFile=b\r\r\n"
                 "[]\r\n"
                 "Orphan=in the header with no name\r\n");
  const Probe probes[] = {
      {"SEND", "Address", "blanks in and around a header", "header name trimmed"},
      {"ETC", "X_MailerName", "note ignored", "text after the closing bracket"},
      {"ETC", "Startup", "1", "a line without closing bracket opens no section"},
      {"INIT", "Startup", "", "so INIT does not exist"},
      {"AUTH]", "Kind", "2", "the name runs to the last closing bracket"},
      {"AUTH", "Kind", "", "so AUTH does not exist"},
      {"FILE", "Log", "a", "a lone CR ends a line"},
      {"FILE", "AppendFile", "b", "CR CR LF"},
      {"", "Orphan", "", "only lines before the first header have the empty name"},
  };
  ExpectAll(path, probes, sizeof probes / sizeof probes[0]);
}

TEST(IniReader, MissingFileGivesEmptyValues) {
  TempDir dir;
  EXPECT_EQ(Read(dir.File("absent.ini"), "AUTH", "Kind"), "");
  EXPECT_EQ(Read(dir.File("no-folder") + "/x.ini", "AUTH", "Kind"), "");
}

TEST(IniReader, LongValuesArriveCut) {
  TempDir dir;
  const std::string path = dir.File("long.ini");
  std::string address(300, 'a');
  for (std::size_t i = 0; i < address.size(); ++i) address[i] = static_cast<char>('a' + i % 26);
  WriteFileBytes(path, "[SEND]\r\nAddress=" + address + "\r\nCc=" + address.substr(0, 255) +
                           "\r\nBcc=" + address.substr(0, 256) + "\r\n");
  EXPECT_EQ(Read(path, "SEND", "Address"), address.substr(0, 255));
  EXPECT_EQ(Read(path, "SEND", "Cc"), address.substr(0, 255));
  EXPECT_EQ(Read(path, "SEND", "Bcc"), address.substr(0, 255));
  EXPECT_EQ(Read(path, "SEND", "Address", 8), address.substr(0, 7));
  EXPECT_EQ(Read(path, "SEND", "Address", 1), "");
}

// Shift-JIS texts, whose second bytes may be 0x5C (a backslash in ASCII).
const char kDisplaySoft[] = "\x95\x5c\x8e\xa6\x83\x5c\x83\x74\x83\x67";  // 表示ソフト
const char kHalfKana[] = "\xc3\xbd\xc4";                                 // ﾃｽﾄ
const char kSchedule[] = "\x97\x5c\x92\xe8\x95\x5c";                     // 予定表
const char kHiraganaA[] = "\x82\xa0";  // あ: 0xA0 is a no-break space in some code pages

TEST(IniReader, ShiftJisBytesPassUnchanged) {
  TempDir dir;
  const std::string path = dir.File("sjis.ini");
  const std::string subject = std::string(kDisplaySoft) + " " + kHalfKana;
  std::string text = "[SEND]\r\nSubject=" + subject + "\r\n[ETC]\r\n";
  text += "MyMailAddressComt=" + std::string(kSchedule) + "\r\n";
  text += "X_MailerName=\"" + std::string(kSchedule) + "\"\r\n";
  text += "MyHostFQDNName=" + std::string(kHiraganaA) + kHiraganaA + "\r\n";
  // 'x' and 150 characters of two bytes: the cut falls between characters.
  std::string longComment = "x";
  for (int i = 0; i < 150; ++i) longComment += "\x95\x5c";  // 表
  text += "[FILE]\r\nAppendFile=" + longComment + "\r\n";
  WriteFileBytes(path, text);
  EXPECT_EQ(Read(path, "SEND", "Subject"), subject);
  EXPECT_EQ(Read(path, "ETC", "MyMailAddressComt"), kSchedule) << "ends in a 0x5C trail byte";
  EXPECT_EQ(Read(path, "ETC", "X_MailerName"), kSchedule) << "0x5C before the closing quote";
  EXPECT_EQ(Read(path, "ETC", "MyHostFQDNName"), std::string(kHiraganaA) + kHiraganaA)
      << "a trailing 0xA0 byte is no blank";
  EXPECT_EQ(Read(path, "FILE", "AppendFile"), longComment.substr(0, 255));
}

}  // namespace
}  // namespace tarnlet
