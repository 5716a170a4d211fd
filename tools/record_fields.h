// The fields of MailSettings as the command names, prints and fills them,
// expanded from the one field list of the library.
#ifndef TARNLET_TOOLS_RECORD_FIELDS_H_
#define TARNLET_TOOLS_RECORD_FIELDS_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "frame/settings_fields.h"
#include "tarnlet.h"

namespace tarnlet {
namespace tool {

struct RecordField {
  Field id;
  const char* name;     // the field and its INI key
  const char* section;  // its INI section
  std::size_t offset;
  std::size_t width;
  FieldType type;
  WireForm sent;
  Presence presence;
  const char* option;   // the option of "tarnlet send" that fills it, or ""
  const char* help;     // that option's help text
  const char* meaning;  // its row in docs/settings.md
};

// The fields in the order of the record and of the INI loader's table.
extern const RecordField kRecordFields[kFieldCount];

inline const RecordField& FieldOf(Field field) {
  return kRecordFields[static_cast<std::size_t>(field)];
}

// A text field's bytes up to its NUL (or its whole width when it has none).
std::string TextOf(const MailSettings& settings, const RecordField& field);
// A flag (signed) or port (unsigned) field's value.
int NumberOf(const MailSettings& settings, const RecordField& field);

// The record Tarnlet2 builds from the INI file at iniPath, read by the
// library's own loader.
MailSettings LoadAsLibraryDoes(const std::string& iniPath);

// The words of --auth and the Kind each stands for.
struct AuthChoice {
  const char* word;
  std::int16_t kind;
  const char* meaning;  // as "tarnlet check" shows the Kind
};
constexpr AuthChoice kAuthChoices[] = {
    {"none", 0, "plain SMTP"},
    {"cram-md5", 1, "SMTP AUTH CRAM-MD5"},
    {"pop", 2, "POP before SMTP"},
};
// A word of the command alone (the bindings name the three above): Kind
// 1, which logs in as the server allows (PLAIN or LOGIN inside TLS, or
// OAuth when a profile names the server and user).
constexpr const char* kLoginAuthWord = "login";

}  // namespace tool
}  // namespace tarnlet

#endif  // TARNLET_TOOLS_RECORD_FIELDS_H_
