#include "net/resolve.h"

#include <cstring>

namespace tarnlet {
namespace {

struct LookupErrorRow {
  LookupResult result;
  ResultCode smtpCode;
  const char* smtpMessage;
  ResultCode popCode;
  const char* popMessage;
};

// The lookup failures and what each costs the call; Shift-JIS messages.
// The last row takes any failure not listed before it.
constexpr LookupErrorRow LookupErrorCodes[] = {
    // ﾎｽﾄ名が見つからない-004 / -010
    {LookupResult::kHostNotFound, -15,
     "\xce\xbd\xc4\x96\xbc\x82\xaa\x8c\xa9\x82\xc2\x82\xa9\x82\xe7\x82\xc8\x82\xa2-004", -20,
     "\xce\xbd\xc4\x96\xbc\x82\xaa\x8c\xa9\x82\xc2\x82\xa9\x82\xe7\x82\xc8\x82\xa2-010"},
    // ｻｰﾋﾞｽの異常-005 / -011
    {LookupResult::kTryAgain, -16, "\xbb\xb0\xcb\xde\xbd\x82\xcc\x88\xd9\x8f\xed-005", -21,
     "\xbb\xb0\xcb\xde\xbd\x82\xcc\x88\xd9\x8f\xed-011"},
    // 回復不能なｴﾗｰ-006 / -012
    {LookupResult::kNoRecovery, -17, "\x89\xf1\x95\x9c\x95s\x94\x5c\x82\xc8\xb4\xd7\xb0-006", -22,
     "\x89\xf1\x95\x9c\x95s\x94\x5c\x82\xc8\xb4\xd7\xb0-012"},
    // ﾃﾞｰﾀﾚｺｰﾄﾞが見つからない-007 / -013
    {LookupResult::kNoData, -18,
     "\xc3\xde\xb0\xc0\xda\xba\xb0\xc4\xde\x82\xaa\x8c\xa9\x82\xc2\x82\xa9\x82\xe7\x82\xc8"
     "\x82\xa2-007",
     -23,
     "\xc3\xde\xb0\xc0\xda\xba\xb0\xc4\xde\x82\xaa\x8c\xa9\x82\xc2\x82\xa9\x82\xe7\x82\xc8"
     "\x82\xa2-013"},
    // その他-008 / -014
    {LookupResult::kOther, -19, "\x82\xbb\x82\xcc\x91\xbc-008", -24,
     "\x82\xbb\x82\xcc\x91\xbc-014"},
};

const LookupErrorRow& RowFor(LookupResult result) {
  constexpr std::size_t kRows = sizeof LookupErrorCodes / sizeof LookupErrorCodes[0];
  for (std::size_t i = 0; i + 1 < kRows; ++i) {
    if (LookupErrorCodes[i].result == result) return LookupErrorCodes[i];
  }
  return LookupErrorCodes[kRows - 1];
}

}  // namespace

LookupResult ResolveHost(const char* name, char* out) {
  int error = 0;
  return CurrentPlatform().ResolveIpv4(name, out, &error);
}

ResultCode ResolveServer(MailSender& sender, const char* name, ServerRole role, char* out) {
  if (sender.IsDottedLiteral(name)) {
    sender.NormalizeDotted(name, out, kDottedCapacity);
    return 0;
  }
  char dotted[16] = "";
  LookupResult result = ResolveHost(name, dotted);
  if (result == LookupResult::kOk) {
    std::memcpy(out, dotted, sizeof dotted);
    out[sizeof dotted - 1] = '\0';
    return 0;
  }
  const LookupErrorRow& row = RowFor(result);
  const bool smtp = role == ServerRole::kSmtp;
  sender.WriteLog(smtp ? row.smtpMessage : row.popMessage);
  return smtp ? row.smtpCode : row.popCode;
}

}  // namespace tarnlet
