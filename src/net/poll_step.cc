#include "net/poll_step.h"

namespace tarnlet {
namespace {
unsigned g_pollStep = kPollStepMilliseconds;
}  // namespace

unsigned PollStepMilliseconds() { return g_pollStep; }

void SetPollStepForTesting(unsigned milliseconds) {
  g_pollStep = milliseconds == 0 ? kPollStepMilliseconds : milliseconds;
}

}  // namespace tarnlet
