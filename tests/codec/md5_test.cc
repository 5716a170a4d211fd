#include "codec/md5.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace tarnlet {
namespace {

std::string Hex(const unsigned char digest[16]) {
  char text[33];
  DigestToHex(digest, text);
  return text;
}

const unsigned char* Bytes(const std::string& s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

// Digest of message fed in pieces ending at the given cut points.
std::string Md5InPieces(const std::string& message, const std::vector<std::size_t>& cuts) {
  Md5Digest md5;
  Md5Context context;
  md5.Init(&context);
  std::size_t from = 0;
  for (std::size_t cut : cuts) {
    if (cut < from || cut > message.size()) continue;
    md5.Update(&context, Bytes(message) + from, static_cast<std::uint32_t>(cut - from));
    from = cut;
  }
  md5.Update(&context, Bytes(message) + from, static_cast<std::uint32_t>(message.size() - from));
  unsigned char digest[16];
  md5.Final(digest, &context);
  return Hex(digest);
}

struct Vector {
  std::string message;
  const char* digest;
};

// RFC 1321 appendix A.5, then lengths around the 56- and 64-byte padding
// boundaries (digests from an independent MD5).
const Vector kVectors[] = {
    {"", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
     "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"1234567890123456789012345678901234567890123456789012345678901234567890123456789"
     "0",
     "57edf4a22be3c955ac49da2e2107b67a"},
    {std::string(55, 'a'), "ef1772b6dff9a122358552954ad0df65"},
    {std::string(56, 'a'), "3b0c8ac703f828b04c6c197006d17218"},
    {std::string(63, 'a'), "b06521f39153d618550606be297466d5"},
    {std::string(64, 'a'), "014842d480b571495a4a0363793f7367"},
    {std::string(65, 'a'), "c743a45e0d2e6a95cb859adae0248435"},
    {std::string(119, 'a'), "8a7bd0732ed6a28ce75f6dabc90e1613"},
    {std::string(120, 'a'), "5f61c0ccad4cac44c75ff505e1f1e537"},
    {std::string(128, 'a'), "e510683b3f5ffe4093d021808bc6ff70"},
};

TEST(Md5Test, WholeMessages) {
  for (const Vector& v : kVectors) EXPECT_EQ(v.digest, Md5InPieces(v.message, {})) << v.message;
}

TEST(Md5Test, SplitAtEveryPoint) {
  for (const Vector& v : kVectors) {
    for (std::size_t cut = 0; cut <= v.message.size(); ++cut) {
      EXPECT_EQ(v.digest, Md5InPieces(v.message, {cut})) << v.message.size() << " cut " << cut;
    }
  }
}

TEST(Md5Test, SplitAtBlockBoundariesAndByteByByte) {
  const std::vector<std::vector<std::size_t>> kCutSets = {{55, 56},     {56, 63, 64}, {63, 64, 65},
                                                          {1, 55, 119}, {64, 128},    {0, 0, 65}};
  for (const Vector& v : kVectors) {
    for (const auto& cuts : kCutSets) EXPECT_EQ(v.digest, Md5InPieces(v.message, cuts));
    std::vector<std::size_t> every;
    for (std::size_t i = 1; i < v.message.size(); ++i) every.push_back(i);
    EXPECT_EQ(v.digest, Md5InPieces(v.message, every)) << "byte by byte " << v.message.size();
  }
}

TEST(Md5Test, MillionAs) {
  EXPECT_EQ("7707d6ae4e027c70eea2a935c2296f21",
            Md5InPieces(std::string(1000000, 'a'), {1, 4096, 500001}));
}

TEST(Md5Test, FinalZeroesTheWholeContextAndItCanBeReused) {
  Md5Digest md5;
  Md5Context context;
  std::memset(&context, 0xEE, sizeof(context));
  md5.Init(&context);
  md5.Update(&context, Bytes("message digest"), 14);
  unsigned char digest[16];
  md5.Final(digest, &context);
  Md5Context zero;
  std::memset(&zero, 0, sizeof(zero));
  EXPECT_EQ(0, std::memcmp(&zero, &context, sizeof(context)));

  md5.Init(&context);
  md5.Update(&context, Bytes("abc"), 3);
  md5.Final(digest, &context);
  EXPECT_EQ("900150983cd24fb0d6963f7d28e17f72", Hex(digest));
}

TEST(Md5Test, InitLeavesBufferAlone) {
  Md5Digest md5;
  Md5Context context;
  std::memset(context.buffer, 0x3C, sizeof(context.buffer));
  md5.Init(&context);
  for (unsigned char b : context.buffer) ASSERT_EQ(0x3C, b);
  EXPECT_EQ(0u, context.count[0]);
  EXPECT_EQ(0u, context.count[1]);
}

TEST(Md5Test, DigestToHexIsLowercaseInDigestOrder) {
  const unsigned char digest[16] = {0x00, 0x01, 0x7F, 0x80, 0xAB, 0xCD, 0xEF, 0xFF,
                                    0x10, 0x20, 0x30, 0x40, 0x5A, 0x6B, 0x7C, 0x8D};
  EXPECT_EQ("00017f80abcdefff102030405a6b7c8d", Hex(digest));
}

// HMAC (RFC 2104) over Md5Digest, two digests in a row on one context as the
// CRAM-MD5 response needs.
std::string HmacMd5(std::string key, const std::string& text) {
  Md5Digest md5;
  Md5Context context;
  unsigned char digest[16];
  if (key.size() > 64) {
    md5.Init(&context);
    md5.Update(&context, Bytes(key), static_cast<std::uint32_t>(key.size()));
    md5.Final(digest, &context);
    key.assign(reinterpret_cast<const char*>(digest), 16);
  }
  std::string inner(64, '\x36'), outer(64, '\x5C');
  for (std::size_t i = 0; i < key.size(); ++i) {
    inner[i] = static_cast<char>(inner[i] ^ key[i]);
    outer[i] = static_cast<char>(outer[i] ^ key[i]);
  }
  md5.Init(&context);
  md5.Update(&context, Bytes(inner), 64);
  md5.Update(&context, Bytes(text), static_cast<std::uint32_t>(text.size()));
  md5.Final(digest, &context);
  md5.Init(&context);
  md5.Update(&context, Bytes(outer), 64);
  md5.Update(&context, digest, 16);
  md5.Final(digest, &context);
  return Hex(digest);
}

TEST(Md5Test, HmacMd5Rfc2104Vectors) {
  EXPECT_EQ("9294727a3638bb1c13f48ef8158bfc9d", HmacMd5(std::string(16, '\x0B'), "Hi There"));
  EXPECT_EQ("750c783e6ab0b503eaa86e310a5db738", HmacMd5("Jefe", "what do ya want for nothing?"));
  EXPECT_EQ("56be34521d144c88dbb8c733f0e8b3f6",
            HmacMd5(std::string(16, '\xAA'), std::string(50, '\xDD')));
}

}  // namespace
}  // namespace tarnlet
