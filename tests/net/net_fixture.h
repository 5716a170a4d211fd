// The transport tests' fixture: the shared one, with a sender, and the
// check that every test closed the sockets it opened.
#ifndef TARNLET_TESTS_NET_NET_FIXTURE_H_
#define TARNLET_TESTS_NET_NET_FIXTURE_H_

#include "support/platform_test.h"
#include "support/scripted_peer.h"

namespace tarnlet {
namespace testing {

class NetTest : public SenderTest {
 protected:
  void TearDown() override { EXPECT_EQ(platform_.OpenSockets(), 0); }
};

}  // namespace testing
}  // namespace tarnlet

#endif  // TARNLET_TESTS_NET_NET_FIXTURE_H_
