#include "record_fields.h"

#include <cstdint>
#include <cstring>
#include <stdexcept>

namespace tarnlet {
namespace tool {

#define TARNLET_FIELD(field, section, type, option) \
  { #field, section, offsetof(MailSettings, field), sizeof(MailSettings::field), type, option }

const RecordField kRecordFields[] = {
    TARNLET_FIELD(Startup, "INIT", FieldType::kFlag, ""),
    TARNLET_FIELD(Kind, "AUTH", FieldType::kFlag, "--auth"),
    TARNLET_FIELD(APOP, "AUTH", FieldType::kFlag, "--apop"),
    TARNLET_FIELD(UserName, "AUTH", FieldType::kText, "--user"),
    TARNLET_FIELD(Password, "AUTH", FieldType::kText, "--password-file"),
    TARNLET_FIELD(SMTPPortNo, "AUTH", FieldType::kPort, "--port"),
    TARNLET_FIELD(POP3PortNo, "AUTH", FieldType::kPort, "--pop-port"),
    TARNLET_FIELD(SMTPServerAddress, "AUTH", FieldType::kText, "--server"),
    TARNLET_FIELD(POP3ServerAddress, "AUTH", FieldType::kText, "--pop-server"),
    TARNLET_FIELD(Address, "SEND", FieldType::kText, "--to"),
    TARNLET_FIELD(Cc, "SEND", FieldType::kText, "--cc"),
    TARNLET_FIELD(Bcc, "SEND", FieldType::kText, "--bcc"),
    TARNLET_FIELD(Subject, "SEND", FieldType::kText, "--subject"),
    TARNLET_FIELD(sReply_To, "SEND", FieldType::kText, "--reply-to"),
    TARNLET_FIELD(Boundary, "ETC", FieldType::kText, "--boundary"),
    TARNLET_FIELD(X_MailerName, "ETC", FieldType::kText, "--x-mailer"),
    TARNLET_FIELD(MyHostFQDNName, "ETC", FieldType::kText, "--host-name"),
    TARNLET_FIELD(MyMailAddress, "ETC", FieldType::kText, "--from"),
    TARNLET_FIELD(MyMailAddressComt, "ETC", FieldType::kText, "--from-name"),
    TARNLET_FIELD(AppendFile, "FILE", FieldType::kText, "--attach"),
    TARNLET_FIELD(Log, "FILE", FieldType::kText, "--log"),
};

#undef TARNLET_FIELD

const std::size_t kRecordFieldCount = sizeof kRecordFields / sizeof kRecordFields[0];

const RecordField& FieldNamed(const std::string& name) {
  for (const RecordField& field : kRecordFields) {
    if (name == field.name) return field;
  }
  throw std::logic_error("no record field " + name);
}

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

}  // namespace tool
}  // namespace tarnlet
