#include "support/pop_scripts.h"

#include "codec/md5.h"
#include "mail/hmac_md5.h"

namespace tarnlet {
namespace testing {

std::string CramResponseLine(const std::string& user, const std::string& password,
                             const std::string& challenge) {
  unsigned char digest[kHmacMd5DigestSize];
  HmacMd5(reinterpret_cast<const unsigned char*>(password.data()), password.size(),
          reinterpret_cast<const unsigned char*>(challenge.data()), challenge.size(), digest);
  char hex[2 * kHmacMd5DigestSize + 1];
  DigestToHex(digest, hex);
  return ReferenceBase64(user + " " + hex) + "\r\n";
}

std::string ApopLine(const std::string& user, const std::string& timestamp,
                     const std::string& password) {
  const std::string input = timestamp + password;
  Md5Digest md5;
  Md5Context context;
  unsigned char digest[16];
  md5.Init(&context);
  md5.Update(&context, reinterpret_cast<const unsigned char*>(input.data()),
             static_cast<std::uint32_t>(input.size()));
  md5.Final(digest, &context);
  char hex[33];
  DigestToHex(digest, hex);
  return "APOP " + user + " " + hex + "\r\n";
}

}  // namespace testing
}  // namespace tarnlet
