// The INI loader that fills the process-global settings record, and the
// table that drives it.
#ifndef TARNLET_FRAME_SETTINGS_H_
#define TARNLET_FRAME_SETTINGS_H_

#include <cstddef>
#include <cstdint>

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
  std::size_t offset;  // destination inside g_mailSettings
};

constexpr std::size_t kIniFieldCount = 21;
extern const IniField IniFieldTable[kIniFieldCount];

// Values are read through a buffer of this size: at most 255 bytes arrive.
constexpr std::size_t kIniValueBufferSize = 256;

// Fills g_mailSettings from the INI file at iniPath over the first rowCount
// rows of table. A missing file, section or key, or an empty value, leaves
// the destination untouched. A row whose destination would not fit inside
// the record is skipped. Returns 1 in every case.
int LoadIniSettings(const char* iniPath, const IniField* table, std::size_t rowCount);

}  // namespace tarnlet

#endif  // TARNLET_FRAME_SETTINGS_H_
