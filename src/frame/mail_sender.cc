// The call lifecycle: lock, fill the settings, check them, start the socket
// library, run the dialogue, and leave through one exit path.
#include "frame/mail_sender.h"

#include <cstring>

#include "frame/globals.h"
#include "frame/settings.h"
#include "platform/platform.h"

namespace tarnlet {
namespace {

struct CallState {
  ResultCode result = 0;
  bool socketsStarted = false;
  bool loginOnly = false;
};

// An early exit of the checks: the code is set first, the throw only leaves.
[[noreturn]] void Leave(CallState& state, ResultCode code) {
  state.result = code;
  throw code;
}

// The checks and the dialogue over the settings already in g_mailSettings.
// Reads only the first byte of Address and Bcc, which any record has.
void CheckAndSend(MailSender& sender, const char* body, CallState& state) {
  if (!state.loginOnly && g_mailSettings.Address[0] == '\0' && g_mailSettings.Bcc[0] == '\0') {
    Leave(state, codes::kNoRecipientsOrMechanism);
  }
  if (!sender.ValidateSettings()) {
    sender.WriteLog(LogLine::kBadSettings);
    Leave(state, CodeOf(LogLine::kBadSettings));
  }
  if (g_mailSettings.Startup != 0) {
    if (CurrentPlatform().StartupSockets() != 0) {
      sender.WriteLog(LogLine::kStartupMiss);
      Leave(state, CodeOf(LogLine::kStartupMiss));
    }
    state.socketsStarted = true;
  }
  state.result = state.loginOnly ? sender.RunLoginCheck() : sender.RunSmtpDialogue(body);
}

// Runs the checks and the dialogue, then the single exit path; the lock is
// already held and released here.
ResultCode RunLocked(MailSender& sender, const char* body, LockHandle lock,
                     bool loginOnly = false) {
  CallState state;
  state.loginOnly = loginOnly;
  try {
    CheckAndSend(sender, body, state);
  } catch (ResultCode) {
    // state.result holds the code of the early exit.
  } catch (...) {
    // Nothing below throws today; should the runtime ever run out of memory
    // there, the host still gets a failure code and the lock back, never an
    // exception it cannot catch.
    if (state.result == 0) state.result = codes::kNoMemoryForBody;
  }
  if (state.socketsStarted) CurrentPlatform().CleanupSockets();
  CurrentPlatform().ReleaseCallLock(lock);
  return state.result;
}

}  // namespace

MailSender::MailSender() : lockHandle_(CurrentPlatform().OpenCallLock()) {}

MailSender::~MailSender() { CurrentPlatform().CloseCallLock(lockHandle_); }

ResultCode MailSender::SendFromRecord(const char* body, const MailSettings* settings) {
  CurrentPlatform().WaitCallLock(lockHandle_);
  std::memcpy(&g_mailSettings, settings, sizeof g_mailSettings);
  return RunLocked(*this, body, lockHandle_);
}

ResultCode MailSender::CheckLoginFromRecord(const MailSettings* settings) {
  CurrentPlatform().WaitCallLock(lockHandle_);
  std::memcpy(&g_mailSettings, settings, sizeof g_mailSettings);
  return RunLocked(*this, "", lockHandle_, true);
}

ResultCode MailSender::SendFromIni(const char* body, const char* iniPath) {
  CurrentPlatform().WaitCallLock(lockHandle_);
  std::memset(&g_mailSettings, 0, sizeof g_mailSettings);
  LoadIniSettings(iniPath, IniFieldTable, kIniFieldCount);
  return RunLocked(*this, body, lockHandle_);
}

}  // namespace tarnlet
