#include "frame/settings.h"

#include <climits>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "frame/globals.h"
#include "frame/mail_sender.h"
#include "platform/platform.h"

namespace tarnlet {

// Flags and ports are 16-bit integers, the rest strings with their NUL.
#define TARNLET_INI_ROW(member, section, ...)                                                  \
  {TARNLET_FIELD_TYPE(member) == FieldType::kText ? kIniString : kIniShort, #section, #member, \
   offsetof(MailSettings, member)},

const IniField IniFieldTable[kIniFieldCount] = {TARNLET_SETTINGS_FIELDS(TARNLET_INI_ROW)};

#undef TARNLET_INI_ROW

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

// What validation needs to know of a field.
struct CheckedField {
  std::size_t offset;
  std::size_t width;
  bool text;
  bool sentAsWritten;
  bool required;
};

#define TARNLET_CHECKED_FIELD(member, section, sent, presence, ...)          \
  CheckedField{offsetof(MailSettings, member), sizeof(MailSettings::member), \
               TARNLET_FIELD_TYPE(member) == FieldType::kText,               \
               WireForm::k##sent == WireForm::kAsWritten,                    \
               Presence::k##presence == Presence::kRequired},

constexpr CheckedField kCheckedFields[] = {TARNLET_SETTINGS_FIELDS(TARNLET_CHECKED_FIELD)};

#undef TARNLET_CHECKED_FIELD

// Numbers are never sent as written, and "empty" means a text's first byte.
constexpr bool OnlyTextsAreChecked() {
  for (const CheckedField& field : kCheckedFields) {
    if (!field.text && (field.sentAsWritten || field.required)) return false;
  }
  return true;
}
static_assert(OnlyTextsAreChecked(), "a flag or port field marked AsWritten or Required");

// Returns true iff every text field ends within its width and no field sent
// as written holds a CR or LF. Reads nothing outside the record.
bool TextFieldsAreSound(const MailSettings& settings) {
  const char* base = reinterpret_cast<const char*>(&settings);
  for (const CheckedField& field : kCheckedFields) {
    if (!field.text) continue;
    const char* text = base + field.offset;
    const void* end = std::memchr(text, '\0', field.width);
    if (end == nullptr) return false;
    if (field.sentAsWritten && std::strpbrk(text, "\r\n") != nullptr) return false;
  }
  return true;
}

bool RequiredFieldsAreSet(const MailSettings& settings) {
  const char* base = reinterpret_cast<const char*>(&settings);
  for (const CheckedField& field : kCheckedFields) {
    if (field.required && base[field.offset] == '\0') return false;
  }
  return true;
}

// The boundary may hold only RFC 2046's bchars, and only so many.
bool BoundaryWordIsSound(const char* word) {
  if (std::strlen(word) > kMaxBoundaryWord) return false;
  for (const char* p = word; *p != '\0'; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    const bool alnum = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    if (!alnum && std::strchr("'()+_,-./:=? ", c) == nullptr) return false;
  }
  return true;
}

}  // namespace

int LoadIniSettings(MailSettings* settings, const char* iniPath, const IniField* table,
                    std::size_t rowCount) {
  unsigned char* record = reinterpret_cast<unsigned char*>(settings);
  for (std::size_t row = 0; row < rowCount; ++row) {
    const IniField& field = table[row];
    char value[kIniValueBufferSize] = {};
    CurrentPlatform().ReadProfileString(iniPath, field.section, field.key, value, sizeof value);
    value[sizeof value - 1] = '\0';
    std::size_t length = std::strlen(value);
    if (length == 0) continue;
    std::size_t size = StoredSize(field.kind, length);
    if (size == 0 || field.offset > sizeof *settings || size > sizeof *settings - field.offset) {
      continue;
    }
    StoreValue(record + field.offset, field.kind, value, length);
  }
  return 1;
}

int LoadIniSettings(const char* iniPath, const IniField* table, std::size_t rowCount) {
  return LoadIniSettings(&g_mailSettings, iniPath, table, rowCount);
}

bool ValidateSettings(const MailSettings& settings) {
  // The text checks come first: the Boundary check reads up to its NUL.
  return settings.Kind >= 0 && settings.Kind <= 2 && TextFieldsAreSound(settings) &&
         BoundaryWordIsSound(settings.Boundary) && RequiredFieldsAreSet(settings);
}

bool MailSender::ValidateSettings() { return tarnlet::ValidateSettings(g_mailSettings); }

}  // namespace tarnlet
