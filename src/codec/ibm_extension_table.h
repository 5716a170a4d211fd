// Code page 932 holds its IBM extension characters (0xFA40-0xFC4B) twice. The
// JIS arithmetic takes the IBM codes to bytes 0x93-0x97, which no 7-bit
// ISO-2022-JP text may carry, but their duplicates (JIS X 0208 proper, NEC
// row 13 or the NEC-selected rows 0xED-0xEE) to 7-bit rows, as Windows' own
// ISO-2022-JP encoding does.
#ifndef TARNLET_CODEC_IBM_EXTENSION_TABLE_H_
#define TARNLET_CODEC_IBM_EXTENSION_TABLE_H_

#include <cstdint>

namespace tarnlet {

constexpr int kIbmExtensionCount = 388;

// Generated data; see scripts/derive-ibm-extension-table.
extern const std::uint16_t kIbmExtensionDuplicates[kIbmExtensionCount];

}  // namespace tarnlet

#endif  // TARNLET_CODEC_IBM_EXTENSION_TABLE_H_
