// Shift-JIS (code page 932) to ISO-2022-JP (RFC 1468), half-width katakana
// widened to JIS X 0208.
#ifndef TARNLET_CODEC_ISO2022JP_H_
#define TARNLET_CODEC_ISO2022JP_H_

#include <cstddef>
#include <cstdint>

namespace tarnlet {

// Bytes SjisToIso2022Jp may write for an n-byte source, terminator included.
constexpr std::size_t Iso2022JpCapacity(std::size_t n) { return 5 * n + 4; }

// Converts the NUL-terminated source into destination, NUL-terminated; the
// output is 7-bit, holds no NUL before its end and always ends in ASCII mode.
// Cannot fail. What has no ISO-2022-JP form (a lead byte without a trail
// byte, 0x80, 0xFD-0xFF, a pair computing to a byte above 0x7E) becomes the
// geta mark 0x222E, and the bytes after it are read on their own.
// REQUIRES: destination holds Iso2022JpCapacity(strlen(source)) bytes.
void SjisToIso2022Jp(const char* source, char* destination);

// The Shift-JIS code of the duplicate of an IBM extension character
// (0xFA40-0xFC4B) elsewhere in code page 932, or code unchanged for any
// other code (user-defined area included).
std::uint16_t IbmExtensionDuplicate(std::uint16_t code);

// One double-byte character: on entry lead and trail byte, on return the
// first and second JIS byte (0-255). The JIS X 0208:1997 arithmetic, with no
// range checks; an IBM extension character (0xFA40-0xFC4B) is first replaced
// by its duplicate elsewhere in code page 932, so it too leaves as 7-bit JIS.
void SjisPairToJis(std::int32_t* first, std::int32_t* second);

// p points at a byte 0xA0-0xDF of a NUL-terminated string. Stores the
// JIS X 0208 code and returns the bytes consumed: 2 when a following sound
// mark was combined, else 1.
std::int32_t WidenHalfKana(std::int32_t* code, const unsigned char* p);

}  // namespace tarnlet

#endif  // TARNLET_CODEC_ISO2022JP_H_
