#include "record_fields.h"

#include <cstring>

#include "frame/settings.h"

namespace tarnlet {
namespace tool {

#define TARNLET_RECORD_FIELD(member, section, sent, presence, option, help, meaning) \
  {Field::k##member,                                                                 \
   #member,                                                                          \
   #section,                                                                         \
   offsetof(MailSettings, member),                                                   \
   sizeof(MailSettings::member),                                                     \
   TARNLET_FIELD_TYPE(member),                                                       \
   WireForm::k##sent,                                                                \
   Presence::k##presence,                                                            \
   option,                                                                           \
   help,                                                                             \
   meaning},

const RecordField kRecordFields[kFieldCount] = {TARNLET_SETTINGS_FIELDS(TARNLET_RECORD_FIELD)};

#undef TARNLET_RECORD_FIELD

std::string TextOf(const MailSettings& settings, const RecordField& field) {
  const char* text = reinterpret_cast<const char*>(&settings) + field.offset;
  const void* end = std::memchr(text, '\0', field.width);
  std::size_t length =
      end != nullptr ? static_cast<std::size_t>(static_cast<const char*>(end) - text) : field.width;
  return std::string(text, length);
}

int NumberOf(const MailSettings& settings, const RecordField& field) {
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&settings) + field.offset;
  std::uint16_t raw = static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
  if (field.type == FieldType::kPort) return raw;
  return static_cast<std::int16_t>(raw);
}

MailSettings LoadAsLibraryDoes(const std::string& iniPath) {
  MailSettings settings;
  std::memset(&settings, 0, sizeof settings);
  LoadIniSettings(&settings, iniPath.c_str(), IniFieldTable, kIniFieldCount);
  return settings;
}

}  // namespace tool
}  // namespace tarnlet
