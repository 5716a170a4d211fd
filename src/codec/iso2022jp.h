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
// output always ends in ASCII mode. Cannot fail. A lead byte directly before
// the terminator is dropped.
// REQUIRES: destination holds Iso2022JpCapacity(strlen(source)) bytes.
void SjisToIso2022Jp(const char* source, char* destination);

// One double-byte character: on entry lead and trail byte, on return the
// first and second JIS byte (0-255). The JIS X 0208:1997 arithmetic, with no
// range checks; an IBM extension character (0xFA40-0xFC4B) is first replaced
// by its duplicate elsewhere in code page 932, so it too leaves as 7-bit JIS.
void SjisPairToJis(std::int32_t* first, std::int32_t* second);

// p points at a byte 0xA0-0xDF of a NUL-terminated string. Stores the
// JIS X 0208 code and returns the bytes consumed: 2 when a following sound
// mark was combined, else 1.
std::int32_t WidenHalfKana(std::int32_t* code, const unsigned char* p);

// Bytes EncodeHeaderWord may write for an n-byte source, NUL included.
constexpr std::size_t EncodedWordCapacity(std::size_t n) { return 6 * n + 25; }

// The whole source as one "=?ISO-2022-JP?B?...?=" word, NUL-terminated.
// Returns 1, or 0 when memory was short (output untouched).
// REQUIRES: output holds EncodedWordCapacity(strlen(source)) bytes.
std::int32_t EncodeHeaderWord(const char* source, char* output);

// Receives one NUL-terminated encoded word.
using EncodedWordSink = void (*)(void* context, const char* word);

// The source as "=?ISO-2022-JP?B?...?=" words of at most maxWord
// characters each (maxWord >= 30), cut between characters, so that every word holds whole
// ISO-2022-JP text of its own: it begins in ASCII and returns to it.
// Needs no memory but the stack, so it cannot fail.
void EncodeHeaderWords(const char* source, std::size_t maxWord, EncodedWordSink sink,
                       void* context);

}  // namespace tarnlet

#endif  // TARNLET_CODEC_ISO2022JP_H_
