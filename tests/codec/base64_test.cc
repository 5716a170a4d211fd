#include "codec/base64.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "support/reference_base64.h"

namespace tarnlet {
namespace {

using testing::ReferenceBase64;

constexpr char kGuard = '\x5A';

// Encodes into a buffer of exactly the promised size plus guard bytes.
std::string Encode(const std::string& bytes) {
  const int n = static_cast<int>(bytes.size());
  const int expected = 4 * ((n + 2) / 3);
  std::vector<char> out(static_cast<std::size_t>(expected) + 8, kGuard);
  int length = -1;
  Base64Codec::Encode(out.data(), &length, reinterpret_cast<const unsigned char*>(bytes.data()), n);
  EXPECT_EQ(expected, length);
  for (std::size_t i = static_cast<std::size_t>(expected); i < out.size(); ++i) {
    EXPECT_EQ(kGuard, out[i]) << "wrote past the promised size at " << i;
  }
  return std::string(out.data(), static_cast<std::size_t>(length < 0 ? 0 : length));
}

struct DecodeResult {
  int ok;
  int length;
  std::string bytes;
};

DecodeResult Decode(const std::string& text) {
  const std::size_t capacity = 3 * (text.size() / 4);
  std::vector<unsigned char> out(capacity + 8, 0xA5);
  int length = -7;
  const int ok =
      Base64Codec::Decode(out.data(), &length, text.data(), static_cast<int>(text.size()));
  for (std::size_t i = capacity; i < out.size(); ++i) {
    EXPECT_EQ(0xA5, out[i]) << "wrote past the promised size at " << i;
  }
  DecodeResult result{ok, length, ""};
  if (ok == 1 && length >= 0) {
    result.bytes.assign(reinterpret_cast<const char*>(out.data()),
                        static_cast<std::size_t>(length));
  }
  return result;
}

TEST(Base64EncodeTest, Rfc4648Vectors) {
  const struct {
    const char* in;
    const char* out;
  } kCases[] = {
      {"", ""},
      {"f", "Zg=="},
      {"fo", "Zm8="},
      {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="},
      {"fooba", "Zm9vYmE="},
      {"foobar", "Zm9vYmFy"},
  };
  for (const auto& c : kCases) EXPECT_EQ(c.out, Encode(c.in)) << c.in;
}

TEST(Base64EncodeTest, AgreesWithBitwiseReferenceForEveryLengthUpTo300) {
  std::mt19937 random(4648);
  for (int n = 0; n <= 300; ++n) {
    std::string bytes(static_cast<std::size_t>(n), '\0');
    for (char& b : bytes) b = static_cast<char>(random() & 0xFF);
    const std::string encoded = Encode(bytes);
    ASSERT_EQ(ReferenceBase64(bytes), encoded) << "length " << n;
    EXPECT_EQ(std::string::npos, encoded.find_first_of("\r\n")) << "length " << n;
  }
}

TEST(Base64EncodeTest, ExtremeBytes) {
  EXPECT_EQ("AAAA", Encode(std::string(3, '\0')));
  EXPECT_EQ("////", Encode(std::string(3, '\xFF')));
  EXPECT_EQ("AA==", Encode(std::string(1, '\0')));
  EXPECT_EQ("//8=", Encode(std::string(2, '\xFF')));
}

TEST(Base64EncodeTest, AttachmentChunkIs72CharactersWithoutPadding) {
  std::string chunk;
  for (int i = 0; i < 54; ++i) chunk += static_cast<char>(i * 37);
  const std::string line = Encode(chunk);
  EXPECT_EQ(72u, line.size());
  EXPECT_EQ(std::string::npos, line.find('='));
  EXPECT_EQ(ReferenceBase64(chunk), line);
}

TEST(Base64EncodeTest, NonPositiveLengthWritesNothing) {
  for (int n : {0, -1, -100}) {
    char out[4] = {kGuard, kGuard, kGuard, kGuard};
    int length = -7;
    Base64Codec::Encode(out, &length, reinterpret_cast<const unsigned char*>("abc"), n);
    EXPECT_EQ(0, length) << n;
    EXPECT_EQ(0, std::memcmp(out, "ZZZZ", 4)) << n;
  }
}

TEST(Base64DecodeTest, ValidInputs) {
  const struct {
    const char* in;
    std::string out;
    const char* why;
  } kCases[] = {
      {"", "", "empty input is valid"},
      {"Zm9vYmFy", "foobar", "whole groups"},
      {"Zg==", "f", "two characters and == give one byte"},
      {"Zm8=", "fo", "three characters and = give two bytes"},
      {"Zh==", "f", "low four bits of the second character ignored"},
      {"Zm9=", "fo", "low two bits of the third character ignored"},
      {"Zg==Zm9v", "f", "a padded group ends decoding"},
      {"Zm8=!!!!", "fo", "nothing after a padded group is read"},
      {"AAAA", std::string(3, '\0'), "zero bytes"},
      {"////", "\xFF\xFF\xFF", "all ones"},
      {"+/+/", "\xFB\xFF\xBF", "62 and 63"},
  };
  for (const auto& c : kCases) {
    const DecodeResult r = Decode(c.in);
    EXPECT_EQ(1, r.ok) << c.why;
    EXPECT_EQ(static_cast<int>(c.out.size()), r.length) << c.why;
    EXPECT_EQ(c.out, r.bytes) << c.why;
  }
}

TEST(Base64DecodeTest, MalformedInputsFailAndStoreNoLength) {
  const struct {
    std::string in;
    const char* why;
  } kCases[] = {
      {"Zm9vY", "length 5 is not a multiple of 4"},
      {"Zm9", "length 3 is not a multiple of 4"},
      {"Zm9vYmFy\r\n", "a line end makes the length wrong"},
      {"Z===", "a group with one character"},
      {"Zm9vZ===", "a later group with one character"},
      {"====", "a group of padding only"},
      {"Zm 9", "space is outside the alphabet"},
      {"Zm\r\n", "CR and LF are outside the alphabet"},
      {"Zm9\n", "LF is outside the alphabet"},
      {"Zm-9", "'-' belongs to the URL-safe alphabet only"},
      {"Zm_9", "'_' belongs to the URL-safe alphabet only"},
      {"Zm9v\x80Zm9", "a byte above 0x7F"},
      {std::string("Zm\0v", 4), "NUL inside the text"},
      {"Zm9vYm*y", "bad character in a later group"},
      {"Z=m9", "padding before an alphabet character"},
      {"Zg=A", "alphabet character after padding in one group"},
  };
  for (const auto& c : kCases) {
    const DecodeResult r = Decode(c.in);
    EXPECT_EQ(0, r.ok) << c.why;
    EXPECT_EQ(-7, r.length) << c.why;
  }
}

TEST(Base64DecodeTest, EarlierGroupsStayWrittenWhenALaterGroupFails) {
  unsigned char out[6] = {0};
  int length = -7;
  EXPECT_EQ(0, Base64Codec::Decode(out, &length, "Zm9v*m9v", 8));
  EXPECT_EQ(0, std::memcmp(out, "foo", 3));
  EXPECT_EQ(-7, length);
}

TEST(Base64DecodeTest, RoundTripsWithEncode) {
  std::mt19937 random(2045);
  for (int n = 0; n <= 300; ++n) {
    std::string bytes(static_cast<std::size_t>(n), '\0');
    for (char& b : bytes) b = static_cast<char>(random() & 0xFF);
    const std::string text = ReferenceBase64(bytes);
    const DecodeResult r = Decode(text);
    ASSERT_EQ(1, r.ok) << "length " << n;
    EXPECT_EQ(bytes, r.bytes) << "length " << n;
    EXPECT_EQ(text, Encode(r.bytes)) << "length " << n;
  }
}

}  // namespace
}  // namespace tarnlet
