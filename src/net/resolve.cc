#include "net/resolve.h"

#include <cstring>

namespace tarnlet {
namespace {

struct LookupErrorRow {
  LookupResult result;
  LogLine smtp;
  LogLine pop;
};

// The lookup failures and the line each writes, which names its code. The
// last row takes any failure not listed before it.
constexpr LookupErrorRow LookupErrorCodes[] = {
    {LookupResult::kHostNotFound, LogLine::kSmtpHostNotFound, LogLine::kPopHostNotFound},
    {LookupResult::kTryAgain, LogLine::kSmtpLookupTryAgain, LogLine::kPopLookupTryAgain},
    {LookupResult::kNoRecovery, LogLine::kSmtpLookupNoRecovery, LogLine::kPopLookupNoRecovery},
    {LookupResult::kNoData, LogLine::kSmtpNameHasNoAddress, LogLine::kPopNameHasNoAddress},
    {LookupResult::kOther, LogLine::kSmtpLookupOther, LogLine::kPopLookupOther},
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
  const LogLine line = role == ServerRole::kSmtp ? row.smtp : row.pop;
  sender.WriteLog(line);
  return CodeOf(line);
}

}  // namespace tarnlet
