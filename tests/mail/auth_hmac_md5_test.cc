#include "mail/hmac_md5.h"

#include <gtest/gtest.h>

#include <string>

#include "codec/md5.h"

namespace tarnlet {
namespace {

std::string HexOf(const std::string& key, const std::string& text) {
  unsigned char digest[kHmacMd5DigestSize];
  HmacMd5(reinterpret_cast<const unsigned char*>(key.data()), key.size(),
          reinterpret_cast<const unsigned char*>(text.data()), text.size(), digest);
  char hex[2 * kHmacMd5DigestSize + 1];
  DigestToHex(digest, hex);
  return hex;
}

struct Vector {
  const char* why;
  std::string key;
  std::string text;
  const char* expected;
};

TEST(HmacMd5, MatchesPublishedVectors) {
  std::string key25;
  for (char c = 1; c <= 25; ++c) key25 += c;
  const Vector vectors[] = {
      // RFC 2202 section 2 (the first three are RFC 2104's appendix too).
      {"case 1", std::string(16, '\x0b'), "Hi There", "9294727a3638bb1c13f48ef8158bfc9d"},
      {"case 2", "Jefe", "what do ya want for nothing?", "750c783e6ab0b503eaa86e310a5db738"},
      {"case 3", std::string(16, '\xaa'), std::string(50, '\xdd'),
       "56be34521d144c88dbb8c733f0e8b3f6"},
      {"case 4", key25, std::string(50, '\xcd'), "697eaf0aca3a3aea3a75164746ffaa79"},
      {"case 5", std::string(16, '\x0c'), "Test With Truncation",
       "56461ef2342edc00f9bab995690efd4c"},
      {"case 6: 80-byte key is hashed first", std::string(80, '\xaa'),
       "Test Using Larger Than Block-Size Key - Hash Key First",
       "6b1ab7fe4bd7bf8f0b62e6ce61b9d0cd"},
      {"case 7: 80-byte key, data over one block", std::string(80, '\xaa'),
       "Test Using Larger Than Block-Size Key and Larger Than One Block-Size Data",
       "6f630fad67cda0ee1fb1f562db3aa53e"},
      // RFC 2195 section 2, the CRAM-MD5 worked example.
      {"RFC 2195 example", "tanstaaftanstaaf", "<1896.697170952@postoffice.reston.mci.net>",
       "b913a602c7eda7a495b4e6e7334d3890"},
      // Computed with an independent HMAC implementation.
      {"empty key and text", "", "", "74e6f7298a9c2d168935f58c001bad88"},
      {"key of exactly one block", std::string(64, 'k'), "<1.2@host>",
       "aade3b2d7ff359dad3d9496a74a536de"},
      {"key one byte over the block", std::string(65, 'k'), "<1.2@host>",
       "99c7b993ec38266f658ee7e14e4b0700"},
  };
  for (const Vector& v : vectors) {
    EXPECT_EQ(HexOf(v.key, v.text), v.expected) << v.why;
  }
}

}  // namespace
}  // namespace tarnlet
