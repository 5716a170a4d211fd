#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "codec/encoded_word.h"
#include "support/fault_platform.h"
#include "support/reference_base64.h"

namespace tarnlet {
namespace {

using testing::ReferenceBase64;

// The counting platform, installed for one test; it can refuse the nth
// allocation.
class HeapWatch {
 public:
  explicit HeapWatch(int failAt = 0) {
    if (failAt > 0) platform_.FailNth(testing::Call::kAllocate, failAt);
  }

  int allocations() { return platform_.Count(testing::Call::kAllocate); }
  long live() { return platform_.LiveBlocks(); }

 private:
  testing::FaultPlatform platform_;
  testing::ScopedPlatform installed_{platform_};
};

// The word for source, written into exactly EncodedWordCapacity bytes that
// are followed by guard bytes.
std::string Word(const std::string& source, int* result = nullptr) {
  const std::size_t capacity = EncodedWordCapacity(source.size());
  std::vector<char> out(capacity + 16, '\x7E');
  const std::int32_t ok = EncodeHeaderWord(source.c_str(), out.data());
  if (result != nullptr) *result = ok;
  for (std::size_t i = capacity; i < out.size(); ++i) {
    EXPECT_EQ('\x7E', out[i]) << "wrote past the capacity at " << i;
  }
  return ok == 1 ? std::string(out.data()) : std::string();
}

std::string WordOf(const std::string& iso2022jp) {
  return "=?ISO-2022-JP?B?" + ReferenceBase64(iso2022jp) + "?=";
}

TEST(EncodeHeaderWordTest, KnownWords) {
  HeapWatch heap;
  EXPECT_EQ("=?ISO-2022-JP?B?YWJj?=", Word("abc"));
  EXPECT_EQ("=?ISO-2022-JP?B?GyRCJSIbKEI=?=", Word("\xB1"));
  EXPECT_EQ(
      "=?ISO-2022-JP?B?"
      "?=",
      Word(""));  // split: "??=" is a trigraph
  EXPECT_EQ(WordOf("Re: \x1b$B4A;z\x1b(B"), Word("Re: \x8A\xBF\x8E\x9A"));
  // A malformed pair no longer ends the text with a NUL.
  EXPECT_EQ(WordOf("ab\x1b$B\x22\x2E\x1b(B\x1FMARK"), Word("ab\x81\x1FMARK"));
  EXPECT_EQ(0, heap.live());
}

TEST(EncodeHeaderWordTest, LongTextStaysOneWord) {
  std::string source, jis;
  for (int i = 0; i < 30; ++i) {
    source += "\x8A\xBF\x8E\x9A";  // 漢字
    jis += "4A;z";
  }
  const std::string word = Word(source);
  EXPECT_EQ(186u, word.size());
  EXPECT_EQ(WordOf("\x1b$B" + jis + "\x1b(B"), word);
}

void CollectWord(void* context, const char* word) {
  static_cast<std::vector<std::string>*>(context)->push_back(word);
}

// Each word holds whole characters and whole runs, and no more than it may.
TEST(EncodeHeaderWordsTest, SplitBetweenCharactersIntoWholeRuns) {
  std::string kanji60;
  for (int i = 0; i < 30; ++i) kanji60 += "\x8A\xBF\x8E\x9A";  // 漢字
  std::string pairs18;
  for (int i = 0; i < 9; ++i) pairs18 += "4A;z";
  const std::string run18 = WordOf("\x1b$B" + pairs18 + "\x1b(B");
  struct Row {
    const char* what;
    std::string source;
    std::size_t maxWord;
    std::vector<std::string> words;
  } rows[] = {
      {"60 kanji: 18 to a word of 74 characters",
       kanji60,
       75,
       {run18, run18, run18, WordOf("\x1b$B4A;z4A;z4A;z\x1b(B")}},
      {"a katakana and its voiced mark stay together",
       "\xB1\xB6\xDE",
       30,
       {WordOf("\x1b$B%\"\x1b(B"), WordOf("\x1b$B%,\x1b(B")}},
      {"short text: one word", "abc", 75, {"=?ISO-2022-JP?B?YWJj?="}},
      {"a lead byte at the very end becomes the geta mark",
       "a\x8A",
       30,
       {WordOf("a\x1b$B\x22\x2E\x1b(B")}},
      {"a lead byte before 0x1F: the geta mark, then the rest",
       "ab\x81\x1FMARK",
       30,
       {WordOf("ab"), WordOf("\x1b$B\x22\x2E\x1b(B\x1F"), WordOf("MARK")}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    std::vector<std::string> words;
    EncodeHeaderWords(row.source.c_str(), row.maxWord, &CollectWord, &words);
    EXPECT_EQ(words, row.words);
    for (const std::string& word : words) EXPECT_LE(word.size(), row.maxWord);
  }
}

TEST(EncodeHeaderWordTest, WorstCaseFitsTheCapacity) {
  HeapWatch heap;
  for (std::size_t n = 1; n <= 64; ++n) {
    std::string source;
    for (std::size_t i = 0; i < n; ++i) source += (i % 2 == 0) ? '\xB1' : 'a';
    std::string iso;
    for (std::size_t i = 0; i < n; ++i) iso += (i % 2 == 0) ? "\x1b$B%\"" : "\x1b(Ba";
    if (n % 2 == 1) iso += "\x1b(B";
    EXPECT_EQ(WordOf(iso), Word(source)) << n;
  }
  EXPECT_EQ(0, heap.live());
}

TEST(EncodeHeaderWordTest, EitherAllocationFailingLeavesOutputUntouched) {
  for (int failAt : {1, 2}) {
    HeapWatch heap(failAt);
    char out[64];
    std::memset(out, '#', sizeof(out));
    EXPECT_EQ(0, EncodeHeaderWord("\x8A\xBF abc", out)) << failAt;
    EXPECT_EQ(failAt, heap.allocations());
    EXPECT_EQ(0, heap.live()) << "block leaked when allocation " << failAt << " failed";
    for (char c : out) ASSERT_EQ('#', c) << failAt;
  }
}

TEST(EncodeHeaderWordTest, SuccessReleasesBothBlocks) {
  HeapWatch heap;
  int ok = 0;
  Word("\xB6\xDE\xB2", &ok);
  EXPECT_EQ(1, ok);
  EXPECT_EQ(2, heap.allocations());
  EXPECT_EQ(0, heap.live());
}

}  // namespace
}  // namespace tarnlet
