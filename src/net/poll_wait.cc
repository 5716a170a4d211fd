#include "frame/mail_sender.h"
#include "net/poll_step.h"

namespace tarnlet {

bool MailSender::PollWait(std::uint32_t* counter) {
  CurrentPlatform().SleepMilliseconds(kPollStepMilliseconds);
  ++*counter;
  if (*counter < kPollStepLimit) return true;
  WriteLog(LogLine::kTimeOut, static_cast<long>(kPollStepMilliseconds) * kPollStepLimit);
  return false;
}

}  // namespace tarnlet
