// The two entry points hosts call. Each builds the per-call object on its
// stack; its constructor and destructor open and close the lock handle.
#include "tarnlet.h"

#include "frame/mail_sender.h"

extern "C" {

TARNLET_EXPORT int32_t TARNLET_CALL Tarnlet1(const char* body,
                                             const MailSettings* settings) TARNLET_NOEXCEPT {
  tarnlet::MailSender sender;
  return sender.SendFromRecord(body, settings);
}

TARNLET_EXPORT int32_t TARNLET_CALL Tarnlet2(const char* body,
                                             const char* iniPath) TARNLET_NOEXCEPT {
  tarnlet::MailSender sender;
  return sender.SendFromIni(body, iniPath);
}

}  // extern "C"
