// Which profile a call finds: by server and user without case, the first
// match of the first file that has one, and a file that cannot be trusted
// failing the call rather than being passed over.
#include <gtest/gtest.h>

#include <string>

#include "mail/oauth_profile.h"
#include "support/platform_test.h"

namespace tarnlet {
namespace testing {
namespace {

const char kProfiles[] =
    "[other server]\r\nServer=smtp.example.com\r\nUser=me@example.jp\r\n"
    "TokenUrl=https://a.example/token\r\nClientId=a\r\n"
    "[Office]\r\nServer=SMTP.office365.com\r\nUser=Me@Example.jp\r\n"
    "TokenUrl=https://login.example/token\r\nClientId=id\r\nClientSecret=\"secret\"\r\n"
    "Scope=s\r\n"
    "[second match]\r\nServer=smtp.office365.com\r\nUser=me@example.jp\r\n"
    "TokenUrl=https://b.example/token\r\nClientId=b\r\n"
    "[plain http]\r\nServer=http.example\r\nUser=me@example.jp\r\n"
    "TokenUrl=http://login.example/token\r\nClientId=id\r\n"
    "[sealed elsewhere]\r\nServer=sealed.example\r\nUser=me@example.jp\r\n"
    "TokenUrl=https://login.example/token\r\nClientId=id\r\nClientSecret=dpapi:AAAA\r\n";

class ProfileTest : public PlatformTest {
 protected:
  ProfileTest() {
    WritePrivateFile(File("oauth.ini"), kProfiles);
    platform_.SetEnvironment("TARNLET_OAUTH_FILE", File("oauth.ini"));
  }

  OauthOutcome Find(const char* server, const char* user = "me@example.jp") {
    profile_ = OauthProfile();
    found_ = false;
    return FindOauthProfile(server, user, &profile_, &found_);
  }

  OauthProfile profile_;
  bool found_ = false;
};

TEST_F(ProfileTest, TheFirstSectionNamingServerAndUserWithoutCase) {
  ASSERT_TRUE(Find("smtp.office365.com").ok);
  ASSERT_TRUE(found_);
  EXPECT_EQ(profile_.name, "Office");
  EXPECT_EQ(profile_.tokenUrl, "https://login.example/token");
  EXPECT_EQ(profile_.clientId, "id");
  EXPECT_EQ(std::string(profile_.clientSecret.c_str()), "secret") << "the INI reader's quotes";
  EXPECT_TRUE(profile_.refreshToken.empty()) << "no RefreshToken: client credentials";
  ASSERT_TRUE(Find("smtp.office365.com", "someone@example.jp").ok);
  EXPECT_FALSE(found_);
}

TEST_F(ProfileTest, AProfileThatCannotBeUsedFailsTheCall) {
  EXPECT_EQ(Find("http.example").line, LogLine::kOauthProfileIncomplete);
  EXPECT_TRUE(found_);
  // A sealed value opens only for its user on its machine (never on Linux).
  EXPECT_EQ(Find("sealed.example").line, LogLine::kOauthProfileIncomplete);
}

TEST_F(ProfileTest, FilesAreSearchedInOrderAndCheckedFirst) {
  platform_.SetEnvironment("TARNLET_OAUTH_FILE", "");
  platform_.SetKnownFolder(KnownFolder::kUserConfig, folder() + "/user/");
  platform_.SetKnownFolder(KnownFolder::kMachineConfig, folder() + "/");
  ASSERT_TRUE(Find("smtp.office365.com").ok) << "no user file: the machine's";
  EXPECT_TRUE(found_);
  platform_.FailNth(Call::kCheckPrivacy, 2, 0);
  EXPECT_EQ(Find("smtp.office365.com").line, LogLine::kOauthFileOpenToOthers);
  platform_.FailNth(Call::kCheckPrivacy, 2, 13);
  const OauthOutcome unreadable = Find("smtp.office365.com");
  EXPECT_EQ(unreadable.line, LogLine::kOauthProfileNg);
  EXPECT_EQ(unreadable.value, 13);
  platform_.SetKnownFolder(KnownFolder::kMachineConfig, folder() + "/none/");
  ASSERT_TRUE(Find("smtp.office365.com").ok) << "no file at all: no profile, no failure";
  EXPECT_FALSE(found_);
}

// What tarnlet oauth add stores on Windows opens again for the same user;
// Linux has no such sealing, and the value stays as it is there.
TEST_F(ProfileTest, SealedValuesOpenForTheirUser) {
  std::string stored;
  const bool sealed = SealValue(Secret("s3cret=&"), &stored);
#ifdef _WIN32
  ASSERT_TRUE(sealed);
  EXPECT_EQ(stored.compare(0, 6, "dpapi:"), 0);
  EXPECT_EQ(stored.find("s3cret"), std::string::npos);
  Secret unsealed;
  ASSERT_TRUE(UnsealValue(Secret(stored.c_str()), &unsealed));
  EXPECT_EQ(std::string(unsealed.c_str()), "s3cret=&");
#else
  EXPECT_FALSE(sealed);
#endif
  platform_.FailNth(Call::kUnprotect, 1);
  Secret opened;
  EXPECT_FALSE(UnsealValue(Secret("dpapi:AAAA"), &opened));
  EXPECT_TRUE(UnsealValue(Secret("plain"), &opened));
  EXPECT_EQ(std::string(opened.c_str()), "plain");
}

}  // namespace
}  // namespace testing
}  // namespace tarnlet
