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

// The words of --auth and the Kind each stands for; the first word of a
// Kind is the one shown for it.
struct AuthChoice {
  const char* word;
  std::int16_t kind;
  const char* meaning;  // as "tarnlet check" shows the Kind
};
constexpr AuthChoice kAuthChoices[] = {
    {"none", 0, "plain SMTP"},
    {"login", 1, "SMTP AUTH: CRAM-MD5, else PLAIN or LOGIN inside TLS, or OAuth with a profile"},
    // The word of 1.0, which named the only mechanism there was.
    {"cram-md5", 1, "SMTP AUTH, as login"},
    {"pop", 2, "POP before SMTP"},
};

}  // namespace tool
}  // namespace tarnlet

#endif  // TARNLET_TOOLS_RECORD_FIELDS_H_
