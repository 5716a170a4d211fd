// The call lifecycle: lock, fill the settings, check them, start the socket
// library, run the dialogue, and leave through one exit path.
#include "frame/mail_sender.h"

#include <cstring>

#include "frame/globals.h"
#include "frame/settings.h"
#include "platform/platform.h"

namespace tarnlet {
namespace {

constexpr ResultCode kNoRecipients = -32;
constexpr ResultCode kBadSettings = -30;
constexpr ResultCode kStartupFailed = -27;
constexpr ResultCode kNoMemory = -25;

// 初期化ﾌｧｲﾙﾃﾞｰﾀ異常-001
constexpr char kBadSettingsMessage[] =
    "\x8f\x89\x8a\xfa\x89\xbb\xcc\xa7\xb2\xd9\xc3\xde\xb0\xc0\x88\xd9\x8f\xed-001";
constexpr char kStartupFailedMessage[] = "WSAStartup Miss-002";

struct CallState {
  ResultCode result = 0;
  bool socketsStarted = false;
};

// An early exit of the checks: the code is set first, the throw only leaves.
[[noreturn]] void Leave(CallState& state, ResultCode code) {
  state.result = code;
  throw code;
}

// The checks and the dialogue over the settings already in g_mailSettings.
// Reads only the first byte of Address and Bcc, which any record has.
void CheckAndSend(MailSender& sender, const char* body, CallState& state) {
  if (g_mailSettings.Address[0] == '\0' && g_mailSettings.Bcc[0] == '\0') {
    Leave(state, kNoRecipients);
  }
  if (!sender.ValidateSettings()) {
    sender.WriteLog(kBadSettingsMessage);
    Leave(state, kBadSettings);
  }
  if (g_mailSettings.Startup != 0) {
    if (CurrentPlatform().StartupSockets() != 0) {
      sender.WriteLog(kStartupFailedMessage);
      Leave(state, kStartupFailed);
    }
    state.socketsStarted = true;
  }
  state.result = sender.RunSmtpDialogue(body);
}

// Runs the checks and the dialogue, then the single exit path; the lock is
// already held and released here.
ResultCode RunLocked(MailSender& sender, const char* body, LockHandle lock) {
  CallState state;
  try {
    CheckAndSend(sender, body, state);
  } catch (ResultCode) {
    // state.result holds the code of the early exit.
  } catch (...) {
    // Nothing below throws today; should the runtime ever run out of memory
    // there, the host still gets a failure code and the lock back, never an
    // exception it cannot catch.
    if (state.result == 0) state.result = kNoMemory;
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

ResultCode MailSender::SendFromIni(const char* body, const char* iniPath) {
  CurrentPlatform().WaitCallLock(lockHandle_);
  std::memset(&g_mailSettings, 0, sizeof g_mailSettings);
  LoadIniSettings(iniPath, IniFieldTable, kIniFieldCount);
  return RunLocked(*this, body, lockHandle_);
}

}  // namespace tarnlet
