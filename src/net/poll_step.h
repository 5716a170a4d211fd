// The transport's wait: steps of 100 ms, at most 3000 of them without
// progress on one send or receive.
#ifndef TARNLET_NET_POLL_STEP_H_
#define TARNLET_NET_POLL_STEP_H_

namespace tarnlet {

constexpr unsigned kPollStepMilliseconds = 100;
constexpr unsigned kPollStepLimit = 3000;

}  // namespace tarnlet

#endif  // TARNLET_NET_POLL_STEP_H_
