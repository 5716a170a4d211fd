// The DATA form of the message text, fed whole, byte by byte and split at
// every position, through buffers of several sizes.
#include "mail/body_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarnlet {
namespace {

struct Collected {
  std::string bytes;
  std::vector<std::size_t> pieces;
  int failAtPiece = -1;  // 0-based piece whose delivery fails
};

bool Collect(void* context, const char* data, std::size_t length) {
  Collected* out = static_cast<Collected*>(context);
  if (static_cast<int>(out->pieces.size()) == out->failAtPiece) return false;
  out->bytes.append(data, length);
  out->pieces.push_back(length);
  return true;
}

std::string Filter(const std::vector<std::string>& pieces, std::size_t capacity = 64) {
  std::vector<char> buffer(capacity);
  Collected out;
  BodyWriter writer(buffer.data(), capacity, &Collect, &out);
  for (const std::string& piece : pieces) EXPECT_TRUE(writer.Write(piece.data(), piece.size()));
  EXPECT_TRUE(writer.Finish());
  for (std::size_t length : out.pieces) EXPECT_LE(length, capacity);
  return out.bytes;
}

struct Case {
  const char* what;
  std::string text;
  std::string wire;
};

const Case kCases[] = {
    {"a line holding only '.'", ".\r\n", "..\r\n"},
    {"the end marker inside the text", "a\r\n.\r\nb", "a\r\n..\r\nb"},
    {"every line start, the first included", ".a\r\n.b\r\n..c", "..a\r\n..b\r\n...c"},
    {"dots inside a line stay single", "a.b. .\r\n", "a.b. .\r\n"},
    {"bare LF", "a\nb\n", "a\r\nb\r\n"},
    {"bare CR", "a\rb\r", "a\r\nb\r\n"},
    {"CR CR LF is two line ends", "a\r\r\nb", "a\r\n\r\nb"},
    {"LF CR is two line ends", "a\n\rb", "a\r\n\r\nb"},
    {"LF first: a line end of its own", "\n.", "\r\n.."},
    {"dot after a bare CR", "a\r.", "a\r\n.."},
    {"empty text", "", ""},
    {"no line end at all", "abc", "abc"},
    // Lines over 998 octets are broken; a break inside a run closes and
    // reopens it, wherever the pieces were cut.
    {"a run broken twice", "\x1b$B" + std::string(1984, 'k') + "\x1b(B.",
     "\x1b$B" + std::string(992, 'k') + "\x1b(B\r\n\x1b$B" + std::string(992, 'k') +
         "\x1b(B\r\n.."},
    {"a run that starts too late starts on the next line",
     std::string(991, 'a') + "\x1b$Bkk\x1b(B\r\n",
     std::string(991, 'a') + "\r\n\x1b$Bkk\x1b(B\r\n"},
    {"ASCII broken before a dot", std::string(998, 'a') + ".\x1b",
     std::string(998, 'a') + "\r\n..\x1b"},
};

TEST(BodyWriterTest, LineEndsBecomeCrLfAndLeadingDotsAreDoubled) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Filter({c.text}), c.wire);
  }
}

TEST(BodyWriterTest, PiecesOfAnySizeGiveTheSameBytes) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> bytes;
    for (char ch : c.text) bytes.push_back(std::string(1, ch));
    EXPECT_EQ(Filter(bytes), c.wire);
    for (std::size_t cut = 0; cut <= c.text.size(); ++cut) {
      EXPECT_EQ(Filter({c.text.substr(0, cut), c.text.substr(cut)}), c.wire) << cut;
    }
    for (std::size_t capacity : {1, 2, 3, 5}) {
      EXPECT_EQ(Filter({c.text}, capacity), c.wire) << capacity;
    }
  }
}

TEST(BodyWriterTest, AFailedDeliveryStopsEverything) {
  char buffer[4];
  Collected out;
  out.failAtPiece = 1;
  BodyWriter writer(buffer, sizeof buffer, &Collect, &out);
  EXPECT_FALSE(writer.Write("abcdefghij", 10));
  EXPECT_FALSE(writer.Write("k", 1));
  EXPECT_FALSE(writer.Finish());
  EXPECT_EQ(out.bytes, "abcd");
}

// Runs of text are copied whole, yet the sink still gets full buffers only:
// what goes to the socket is cut where it always was.
TEST(BodyWriterTest, EveryPieceButTheLastFillsTheBuffer) {
  const std::string text = "first line\r\n.dotted\nlong line without an end in sight\r.x";
  const std::string wire = "first line\r\n..dotted\r\nlong line without an end in sight\r\n..x";
  for (std::size_t capacity : {1, 3, 7, 16, 100}) {
    SCOPED_TRACE(capacity);
    std::vector<char> buffer(capacity);
    Collected out;
    BodyWriter writer(buffer.data(), capacity, &Collect, &out);
    EXPECT_TRUE(writer.Write(text.data(), text.size()));
    EXPECT_TRUE(writer.Finish());
    EXPECT_EQ(out.bytes, wire);
    ASSERT_FALSE(out.pieces.empty());
    for (std::size_t i = 0; i + 1 < out.pieces.size(); ++i) EXPECT_EQ(out.pieces[i], capacity);
    EXPECT_EQ(out.pieces.back(), wire.size() - capacity * (out.pieces.size() - 1));
  }
}

TEST(BodyWriterTest, NoEmptyPieceIsDelivered) {
  char buffer[4];
  Collected out;
  BodyWriter writer(buffer, sizeof buffer, &Collect, &out);
  EXPECT_TRUE(writer.Write("abcd", 4));
  EXPECT_TRUE(writer.Finish());
  EXPECT_EQ(out.pieces, std::vector<std::size_t>{4});
}

}  // namespace
}  // namespace tarnlet
