// The fields of MailSettings as the command names, prints and fills them.
#ifndef TARNLET_TOOLS_RECORD_FIELDS_H_
#define TARNLET_TOOLS_RECORD_FIELDS_H_

#include <cstddef>
#include <string>

#include "tarnlet.h"

namespace tarnlet {
namespace tool {

enum class FieldType { kFlag, kPort, kText };

struct RecordField {
  const char* name;     // the field and its INI key
  const char* section;  // its INI section
  std::size_t offset;
  std::size_t width;
  FieldType type;
  const char* option;  // the option of "tarnlet send" that fills it, or ""
};

// The 21 fields in the order of the INI loader's table.
extern const RecordField kRecordFields[];
extern const std::size_t kRecordFieldCount;

const RecordField& FieldNamed(const std::string& name);

// A text field's bytes up to its NUL (or its whole width when it has none).
std::string TextOf(const MailSettings& settings, const RecordField& field);
// A flag (signed) or port (unsigned) field's value.
int NumberOf(const MailSettings& settings, const RecordField& field);

}  // namespace tool
}  // namespace tarnlet

#endif  // TARNLET_TOOLS_RECORD_FIELDS_H_
