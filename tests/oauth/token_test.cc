// Tokens from the endpoint: the answer read from its JSON, each way a
// request can fail named by its line, the form in the body, reuse within
// the process, and the refresh token a rotation gives kept for later.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mail/oauth_access_token.h"
#include "mail/oauth_token_cache.h"
#include "mail/oauth_token_request.h"
#include "support/platform_test.h"

namespace tarnlet {
namespace testing {
namespace {

const char kToken[] = R"({"access_token":"at-1","token_type":"Bearer","expires_in":3599})";

TEST(TokenAnswerTest, ReadsWhatEndpointsSend) {
  struct Row {
    const char* why;
    const char* body;
    TokenAnswer::Kind kind;
    const char* token;
    std::int64_t expiresIn;
    const char* error;
  } rows[] = {
      {"a token", kToken, TokenAnswer::Kind::kToken, "at-1", 3599, ""},
      {"token_type in any case, expires_in missing: one hour",
       R"({"access_token":"at","token_type":"bEaReR"})", TokenAnswer::Kind::kToken, "at", 3600, ""},
      {"expires_in as a string of digits",
       R"({"access_token":"at","token_type":"Bearer","expires_in":"1200"})",
       TokenAnswer::Kind::kToken, "at", 1200, ""},
      {"expires_in as a fraction",
       R"({"access_token":"at","token_type":"Bearer","expires_in":59.9})",
       TokenAnswer::Kind::kToken, "at", 59, ""},
      {"expires_in out of any range: one hour",
       R"({"access_token":"at","token_type":"Bearer","expires_in":1e300})",
       TokenAnswer::Kind::kToken, "at", 3600, ""},
      {"not a Bearer token", R"({"access_token":"at","token_type":"mac"})",
       TokenAnswer::Kind::kNotJson, "", 0, ""},
      {"no access_token", R"({"token_type":"Bearer"})", TokenAnswer::Kind::kNotJson, "", 0, ""},
      {"an access_token that is no string", R"({"access_token":7,"token_type":"Bearer"})",
       TokenAnswer::Kind::kNotJson, "", 0, ""},
      {"an error answer", R"({"error":"invalid_grant","error_description":"AADSTS70008"})",
       TokenAnswer::Kind::kError, "", 0, "invalid_grant"},
      {"not JSON", "<html>502</html>", TokenAnswer::Kind::kNotJson, "", 0, ""},
      {"JSON but no object", "[1,2]", TokenAnswer::Kind::kNotJson, "", 0, ""},
      {"cut short", R"({"access_token":"at","token_type")", TokenAnswer::Kind::kNotJson, "", 0, ""},
  };
  for (const Row& row : rows) {
    const TokenAnswer answer = ReadTokenAnswer(row.body, std::string(row.body).size());
    EXPECT_EQ(answer.kind, row.kind) << row.why;
    EXPECT_EQ(std::string(answer.accessToken.c_str()), row.token) << row.why;
    EXPECT_EQ(answer.expiresIn, row.expiresIn) << row.why;
    EXPECT_EQ(answer.error, row.error) << row.why;
  }
}

class TokenTest : public SenderTest {
 protected:
  TokenTest() {
    platform_.SetKnownFolder(KnownFolder::kUserState, folder() + "/state/");
    platform_.AnswerTokenRequests(
        [this](const std::string&, const std::string&, std::string* body) {
          *body = answers_.empty() ? std::string(kToken) : answers_.front().second;
          HttpsAnswer http{HttpsOutcome::kAnswered, answers_.empty() ? 200 : answers_.front().first,
                           0, 0, false};
          if (!answers_.empty()) answers_.erase(answers_.begin());
          return http;
        });
    profile_.file = File("oauth.ini");
    profile_.name = "app";
    profile_.tokenUrl = "https://login.example/token";
    profile_.clientId = "client id";
    profile_.clientSecret = "s&cr=t/+";
    profile_.scope = "https://outlook.office365.com/.default";
    ForgetKeptTokens();
  }
  ~TokenTest() override { ForgetKeptTokens(); }

  OauthOutcome Obtain(std::string* token = nullptr, std::int64_t* expiresIn = nullptr) {
    Secret secret;
    std::int64_t seconds = 0;
    OauthOutcome outcome = ObtainAccessToken(profile_, &secret, &seconds);
    if (token != nullptr) *token = secret.c_str();
    if (expiresIn != nullptr) *expiresIn = seconds;
    return outcome;
  }

  std::vector<std::pair<int, std::string>> answers_;  // status, body; then kToken
  OauthProfile profile_;
};

TEST_F(TokenTest, EachFailureOfTheEndpointHasItsLine) {
  struct Row {
    const char* why;
    HttpsAnswer http;
    std::string body;
    LogLine line;
    long value;
  } rows[] = {
      {"unreachable",
       {HttpsOutcome::kUnreachable, 0, 111, 0, false},
       "",
       LogLine::kOauthEndpointUnreachable,
       111},
      {"slow", {HttpsOutcome::kTimedOut, 0, 28, 0, false}, "", LogLine::kOauthEndpointTimeOut, 0},
      {"certificate refused",
       {HttpsOutcome::kCertificate, 0, 60, 0, false},
       "",
       LogLine::kOauthEndpointCertificate,
       60},
      {"not https",
       {HttpsOutcome::kRefusedUrl, 0, 0, 0, false},
       "",
       LogLine::kOauthProfileIncomplete,
       0},
      {"an HTTP error without JSON",
       {HttpsOutcome::kAnswered, 503, 0, 0, false},
       "busy",
       LogLine::kOauthEndpointHttpNg,
       503},
      {"a redirect, not followed",
       {HttpsOutcome::kAnswered, 302, 0, 0, false},
       "",
       LogLine::kOauthEndpointHttpNg,
       302},
      {"200 but not a token",
       {HttpsOutcome::kAnswered, 200, 0, 0, false},
       "<html/>",
       LogLine::kOauthAnswerNg,
       0},
      {"a token with an error status",
       {HttpsOutcome::kAnswered, 400, 0, 0, false},
       kToken,
       LogLine::kOauthEndpointHttpNg,
       400},
      {"invalid_client",
       {HttpsOutcome::kAnswered, 401, 0, 0, false},
       R"({"error":"invalid_client"})",
       LogLine::kOauthInvalidClient,
       0},
      {"invalid_grant",
       {HttpsOutcome::kAnswered, 400, 0, 0, false},
       R"({"error":"invalid_grant"})",
       LogLine::kOauthInvalidGrant,
       0},
      {"another error code",
       {HttpsOutcome::kAnswered, 400, 0, 0, false},
       R"({"error":"invalid_scope"})",
       LogLine::kOauthEndpointHttpNg,
       400},
      {"an answer larger than any token's",
       {HttpsOutcome::kAnswered, 200, 0, 0, false},
       std::string(70000, ' ') + kToken,
       LogLine::kOauthAnswerNg,
       0},
  };
  for (const Row& row : rows) {
    platform_.AnswerTokenRequests(
        [&row](const std::string&, const std::string&, std::string* body) {
          *body = row.body;
          return row.http;
        });
    const OauthOutcome outcome = Obtain();
    EXPECT_FALSE(outcome.ok) << row.why;
    EXPECT_EQ(outcome.line, row.line) << row.why;
    EXPECT_EQ(outcome.value, row.value) << row.why;
  }
}

TEST_F(TokenTest, ClientCredentialsGoInTheBodyEncoded) {
  ASSERT_TRUE(Obtain().ok);
  const auto requests = platform_.TokenRequests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].url, "https://login.example/token");
  EXPECT_EQ(requests[0].form,
            "grant_type=client_credentials&client_id=client%20id&client_secret=s%26cr%3Dt%2F%2B"
            "&scope=https%3A%2F%2Foutlook.office365.com%2F.default");
}

TEST_F(TokenTest, ATokenServesLaterCallsUntilAMinuteBeforeItEnds) {
  answers_ = {{200, R"({"access_token":"short","token_type":"Bearer","expires_in":30})"}};
  std::string token;
  std::int64_t expiresIn = 0;
  ASSERT_TRUE(Obtain(&token, &expiresIn).ok);
  EXPECT_EQ(token, "short") << "a token just fetched serves its own call";
  ASSERT_TRUE(Obtain(&token, &expiresIn).ok);
  EXPECT_EQ(token, "at-1") << "30 s left is too little for the next";
  ASSERT_TRUE(Obtain(&token, &expiresIn).ok);
  EXPECT_EQ(platform_.TokenRequests().size(), 2u);
  platform_.AdvanceSeconds(3599 - 61);
  ASSERT_TRUE(Obtain(&token, &expiresIn).ok);
  EXPECT_EQ(expiresIn, 61);
  EXPECT_EQ(platform_.TokenRequests().size(), 2u);
  platform_.AdvanceSeconds(1);
  ASSERT_TRUE(Obtain().ok);
  EXPECT_EQ(platform_.TokenRequests().size(), 3u);
  ForgetKeptToken(profile_);  // the server refused it
  ASSERT_TRUE(Obtain().ok);
  EXPECT_EQ(platform_.TokenRequests().size(), 4u);
}

TEST_F(TokenTest, ARotatedRefreshTokenIsKeptForTheNextProcess) {
  profile_.refreshToken = "rt-0";
  answers_ = {{200, R"({"access_token":"a","token_type":"Bearer","refresh_token":"rt-1"})"},
              {200, R"({"access_token":"b","token_type":"Bearer","refresh_token":"rt-2"})"}};
  ASSERT_TRUE(Obtain().ok);
  ForgetKeptTokens();  // as a new process starts
  ASSERT_TRUE(Obtain().ok);
  const auto requests = platform_.TokenRequests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].form.find("grant_type=refresh_token&refresh_token=rt-0&"), 0u);
  EXPECT_EQ(requests[1].form.find("grant_type=refresh_token&refresh_token=rt-1&"), 0u);
  Secret cached;
  bool found = false;
  ASSERT_TRUE(ReadCachedRefreshToken(profile_, &cached, &found).ok);
  EXPECT_TRUE(found);
  EXPECT_EQ(std::string(cached.c_str()), "rt-2");
  EXPECT_EQ(platform_.HeldFileLocks(), 0);
}

TEST_F(TokenTest, TheCacheFailsClosed) {
  profile_.refreshToken = "rt-0";
  struct Row {
    const char* why;
    Call call;
    int error;
    LogLine line;
  } rows[] = {
      {"the lock held by another process for 90 s", Call::kLockFile, 0, LogLine::kOauthCacheNg},
      {"the lock cannot be made", Call::kLockFile, 13, LogLine::kOauthCacheNg},
      {"the cache readable by others", Call::kCheckPrivacy, 0, LogLine::kOauthFileOpenToOthers},
      {"the rotated token cannot be kept", Call::kReplaceFile, 28, LogLine::kOauthCacheNg},
  };
  platform_.SkipSleeps();
  for (const Row& row : rows) {
    ForgetKeptTokens();
    FaultPlatform::TokenEndpoint rotating = [](const std::string&, const std::string&,
                                               std::string* body) {
      *body = R"({"access_token":"a","token_type":"Bearer","refresh_token":"rt-9"})";
      return HttpsAnswer{HttpsOutcome::kAnswered, 200, 0, 0, false};
    };
    platform_.AnswerTokenRequests(rotating);
    if (row.call == Call::kLockFile && row.error == 0) {
      platform_.FailNth(row.call, 1, 0);
      for (int i = 2; i <= 901; ++i) platform_.FailNth(row.call, i, 0);
    } else {
      platform_.FailNth(row.call, 1, row.error);
    }
    const OauthOutcome outcome = Obtain();
    EXPECT_FALSE(outcome.ok) << row.why;
    EXPECT_EQ(outcome.line, row.line) << row.why;
    EXPECT_EQ(platform_.HeldFileLocks(), 0) << row.why;
  }
}

}  // namespace
}  // namespace testing
}  // namespace tarnlet
