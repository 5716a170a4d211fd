// The length of one transport wait. The product always waits 100 ms; tests
// shorten it so that time-out paths run in milliseconds.
#ifndef TARNLET_NET_POLL_STEP_H_
#define TARNLET_NET_POLL_STEP_H_

namespace tarnlet {

constexpr unsigned kPollStepMilliseconds = 100;
constexpr unsigned kPollStepLimit = 3000;

unsigned PollStepMilliseconds();
void SetPollStepForTesting(unsigned milliseconds);  // 0 restores 100 ms

}  // namespace tarnlet

#endif  // TARNLET_NET_POLL_STEP_H_
