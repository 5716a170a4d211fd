// The INI loader that fills a settings record, the table that drives it,
// and the validation that decides whether a call may use a record.
#ifndef TARNLET_FRAME_SETTINGS_H_
#define TARNLET_FRAME_SETTINGS_H_

#include <cstddef>
#include <cstdint>

#include "frame/settings_fields.h"
#include "tarnlet.h"

namespace tarnlet {

// What a row stores at its destination. Kinds 3 and 4 store as kind 0,
// kind 1 as kind 2. The settings table uses only kIniShort and kIniString.
enum IniValueKind : std::int32_t {
  kIniInt = 0,     // 32-bit integer: atoi of the value
  kIniShort = 2,   // 16-bit integer: low 16 bits of atoi of the value
  kIniDouble = 5,  // 64-bit floating point: atof of the value
  kIniString = 6,  // the value with its NUL
  kIniChar = 7,    // one byte: the first character of the value
  kIniBool = 8,    // 32-bit integer: 1 if atoi of the value is non-zero, else 0
};

struct IniField {
  std::int32_t kind;  // an IniValueKind; any other value skips the row
  const char* section;
  const char* key;
  std::size_t offset;  // destination inside the record
};

// One row per field of the record, in its order.
constexpr std::size_t kIniFieldCount = kFieldCount;
extern const IniField IniFieldTable[kIniFieldCount];

// Values are read through a buffer of this size: at most 255 bytes arrive.
constexpr std::size_t kIniValueBufferSize = 256;

// Fills record from the INI file at iniPath over the first rowCount rows of
// table. A missing file, section or key, or an empty value, leaves the
// destination untouched. A row whose destination would not fit inside the
// record is skipped. Returns 1 in every case.
int LoadIniSettings(MailSettings* record, const char* iniPath, const IniField* table,
                    std::size_t rowCount);
// The same into g_mailSettings.
int LoadIniSettings(const char* iniPath, const IniField* table, std::size_t rowCount);

// The longest Boundary word: "+-+-+-" word "-+-+-+" stays within the 70
// characters RFC 2046 5.1.1 allows a boundary.
constexpr std::size_t kMaxBoundaryWord = 70 - 12;

// Returns true iff a call may go ahead with settings: Kind 0 to 2, the
// required fields set, every text field ending within its width, no CR or
// LF in a field sent as written, and a Boundary word a boundary can hold.
// Reads nothing outside the record.
bool ValidateSettings(const MailSettings& settings);

}  // namespace tarnlet

#endif  // TARNLET_FRAME_SETTINGS_H_
