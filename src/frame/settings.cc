#include "frame/settings.h"

#include <climits>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "frame/globals.h"
#include "frame/mail_sender.h"
#include "platform/platform.h"

namespace tarnlet {

#define TARNLET_AT(field) offsetof(MailSettings, field)

const IniField IniFieldTable[kIniFieldCount] = {
    {kIniShort, "INIT", "Startup", TARNLET_AT(Startup)},
    {kIniShort, "AUTH", "Kind", TARNLET_AT(Kind)},
    {kIniShort, "AUTH", "APOP", TARNLET_AT(APOP)},
    {kIniString, "AUTH", "UserName", TARNLET_AT(UserName)},
    {kIniString, "AUTH", "Password", TARNLET_AT(Password)},
    {kIniShort, "AUTH", "SMTPPortNo", TARNLET_AT(SMTPPortNo)},
    {kIniShort, "AUTH", "POP3PortNo", TARNLET_AT(POP3PortNo)},
    {kIniString, "AUTH", "SMTPServerAddress", TARNLET_AT(SMTPServerAddress)},
    {kIniString, "AUTH", "POP3ServerAddress", TARNLET_AT(POP3ServerAddress)},
    {kIniString, "SEND", "Address", TARNLET_AT(Address)},
    {kIniString, "SEND", "Cc", TARNLET_AT(Cc)},
    {kIniString, "SEND", "Bcc", TARNLET_AT(Bcc)},
    {kIniString, "SEND", "Subject", TARNLET_AT(Subject)},
    {kIniString, "SEND", "sReply_To", TARNLET_AT(sReply_To)},
    {kIniString, "ETC", "Boundary", TARNLET_AT(Boundary)},
    {kIniString, "ETC", "X_MailerName", TARNLET_AT(X_MailerName)},
    {kIniString, "ETC", "MyHostFQDNName", TARNLET_AT(MyHostFQDNName)},
    {kIniString, "ETC", "MyMailAddress", TARNLET_AT(MyMailAddress)},
    {kIniString, "ETC", "MyMailAddressComt", TARNLET_AT(MyMailAddressComt)},
    {kIniString, "FILE", "AppendFile", TARNLET_AT(AppendFile)},
    {kIniString, "FILE", "Log", TARNLET_AT(Log)},
};

namespace {

// atoi as the host's C runtime has it, with out-of-range values clamped to
// the 32-bit range so both platforms store the same bits.
std::int32_t AtoiValue(const char* text) {
  long long value = std::strtoll(text, nullptr, 10);
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<std::int32_t>(value);
}

// Bytes the row stores at its destination; 0 for a kind that stores nothing.
std::size_t StoredSize(std::int32_t kind, std::size_t valueLength) {
  switch (kind) {
    case 0:
    case 3:
    case 4:
    case 8:
      return 4;
    case 1:
    case 2:
      return 2;
    case 5:
      return 8;
    case 6:
      return valueLength + 1;
    case 7:
      return 1;
    default:
      return 0;
  }
}

void StoreValue(unsigned char* destination, std::int32_t kind, const char* value,
                std::size_t length) {
  switch (kind) {
    case 0:
    case 3:
    case 4: {
      std::int32_t number = AtoiValue(value);
      std::memcpy(destination, &number, sizeof number);
      break;
    }
    case 1:
    case 2: {
      std::uint16_t low = static_cast<std::uint16_t>(static_cast<std::uint32_t>(AtoiValue(value)));
      std::memcpy(destination, &low, sizeof low);
      break;
    }
    case 5: {
      double number = std::strtod(value, nullptr);
      std::memcpy(destination, &number, sizeof number);
      break;
    }
    case 6:
      std::memcpy(destination, value, length + 1);
      break;
    case 7:
      *destination = static_cast<unsigned char>(value[0]);
      break;
    case 8: {
      std::int32_t flag = AtoiValue(value) != 0 ? 1 : 0;
      std::memcpy(destination, &flag, sizeof flag);
      break;
    }
    default:
      break;
  }
}

// A text field of the record and whether it reaches the wire unencoded.
struct TextField {
  std::size_t offset;
  std::size_t width;
  bool onWire;
};

#define TARNLET_TEXT(field, onWire) \
  { offsetof(MailSettings, field), sizeof(MailSettings::field), onWire }

// A CR or LF in an on-wire field would end a command or header line early
// and let the rest pass as a command or header of its own.
constexpr TextField kTextFields[] = {
    TARNLET_TEXT(UserName, true),
    TARNLET_TEXT(Password, true),
    TARNLET_TEXT(SMTPServerAddress, false),
    TARNLET_TEXT(POP3ServerAddress, false),
    TARNLET_TEXT(Address, true),
    TARNLET_TEXT(Cc, true),
    TARNLET_TEXT(Bcc, true),
    TARNLET_TEXT(Subject, false),
    TARNLET_TEXT(sReply_To, true),
    TARNLET_TEXT(Boundary, true),
    TARNLET_TEXT(X_MailerName, true),
    TARNLET_TEXT(MyHostFQDNName, true),
    TARNLET_TEXT(MyMailAddress, true),
    TARNLET_TEXT(MyMailAddressComt, false),
    TARNLET_TEXT(AppendFile, true),
    TARNLET_TEXT(Log, false),
};

#undef TARNLET_TEXT

constexpr std::size_t TextWidthSum() {
  std::size_t sum = 0;
  for (const TextField& field : kTextFields) sum += field.width;
  return sum;
}
// Every byte of the record is a text field or one of the five 16-bit fields.
static_assert(TextWidthSum() + 5 * 2 == sizeof(MailSettings), "a text field is missing");

// Returns true iff every text field ends within its width and no on-wire
// field holds a CR or LF. Reads nothing outside the record.
bool TextFieldsAreSound(const MailSettings& settings) {
  const char* base = reinterpret_cast<const char*>(&settings);
  for (const TextField& field : kTextFields) {
    const char* text = base + field.offset;
    const void* end = std::memchr(text, '\0', field.width);
    if (end == nullptr) return false;
    if (field.onWire && std::strpbrk(text, "\r\n") != nullptr) return false;
  }
  return true;
}

// The boundary text is "+-+-+-" word "-+-+-+": RFC 2046 5.1.1 allows it
// 70 characters of its bchars.
bool BoundaryWordIsSound(const char* word) {
  constexpr std::size_t kFrame = 12;
  constexpr std::size_t kMaxBoundary = 70;
  const std::size_t length = std::strlen(word);
  if (length > kMaxBoundary - kFrame) return false;
  for (const char* p = word; *p != '\0'; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    const bool alnum = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    if (!alnum && std::strchr("'()+_,-./:=? ", c) == nullptr) return false;
  }
  return true;
}

}  // namespace

#undef TARNLET_AT

int LoadIniSettings(const char* iniPath, const IniField* table, std::size_t rowCount) {
  unsigned char* record = reinterpret_cast<unsigned char*>(&g_mailSettings);
  for (std::size_t row = 0; row < rowCount; ++row) {
    const IniField& field = table[row];
    char value[kIniValueBufferSize] = {};
    CurrentPlatform().ReadProfileString(iniPath, field.section, field.key, value, sizeof value);
    value[sizeof value - 1] = '\0';
    std::size_t length = std::strlen(value);
    if (length == 0) continue;
    std::size_t size = StoredSize(field.kind, length);
    if (size == 0 || field.offset > sizeof g_mailSettings ||
        size > sizeof g_mailSettings - field.offset) {
      continue;
    }
    StoreValue(record + field.offset, field.kind, value, length);
  }
  return 1;
}

bool MailSender::ValidateSettings() {
  const MailSettings& settings = g_mailSettings;
  return settings.Kind >= 0 && settings.Kind <= 2 && TextFieldsAreSound(settings) &&
         BoundaryWordIsSound(settings.Boundary) && settings.SMTPServerAddress[0] != '\0' &&
         settings.POP3ServerAddress[0] != '\0' && settings.MyHostFQDNName[0] != '\0' &&
         settings.MyMailAddress[0] != '\0';
}

}  // namespace tarnlet
