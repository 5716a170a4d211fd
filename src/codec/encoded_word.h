// MIME encoded words (RFC 2047) holding Shift-JIS text as ISO-2022-JP.
#ifndef TARNLET_CODEC_ENCODED_WORD_H_
#define TARNLET_CODEC_ENCODED_WORD_H_

#include <cstddef>
#include <cstdint>

namespace tarnlet {

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

#endif  // TARNLET_CODEC_ENCODED_WORD_H_
